// Key events as each platform delivers them, turned into virtual-key codes.

#include "ActingKeys.h"
#include "ui/KeyTranslate.h"

#include <QTest>

#include <limits>
#include <set>

using keytranslate::Platform;
using testkeys::kActingKeys;

Q_DECLARE_METATYPE(keytranslate::Platform)

namespace {

// X11 modifier state bits as they arrive in nativeModifiers.
constexpr quint32 kShiftMask = 0x01;
constexpr quint32 kControlMask = 0x04;
constexpr quint32 kAltMask = 0x08;
constexpr quint32 kNumLockMask = 0x10;
// Cocoa's device bit, present on every real key event.
constexpr quint32 kCocoaDeviceBit = 0x100;

// X keycodes of keypad 0 to 9, and the keysyms they give without NumLock.
constexpr quint32 kKeypadKeycodes[10] = {90, 87, 88, 89, 83, 84, 85, 79, 80, 81};
constexpr quint32 kKeypadKeysymsNoNumLock[10] = {0xff9e, 0xff9c, 0xff99, 0xff9b, 0xff96,
                                                 0xff9d, 0xff98, 0xff95, 0xff97, 0xff9a};
constexpr int kKeypadQtKeysNoNumLock[10] = {Qt::Key_Insert, Qt::Key_End,   Qt::Key_Down, Qt::Key_PageDown,
                                            Qt::Key_Left,   Qt::Key_Clear, Qt::Key_Right, Qt::Key_Home,
                                            Qt::Key_Up,     Qt::Key_PageUp};

struct Row {
    Platform platform;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    quint32 scanCode;
    quint32 nativeKey;
    quint32 nativeModifiers;
    QString text;
    int expected;
};

void addRow(const QString& name, const Row& r)
{
    QTest::newRow(qPrintable(name)) << r.platform << r.qtKey << r.modifiers << r.scanCode << r.nativeKey
                                    << r.nativeModifiers << r.text << r.expected;
}

// X11: the keycode is in nativeScanCode, the layout's keysym in nativeVirtualKey.
void addX(const QString& name, quint32 keycode, quint32 keysym, int qtKey, Qt::KeyboardModifiers modifiers,
          quint32 state, int expected)
{
    const QString text = keysym > 0 && keysym < 0x100 ? QString(QChar(keysym)) : QString();
    addRow("x11 " + name, {Platform::X11, qtKey, modifiers, keycode, keysym, state, text, expected});
}

void addX11Rows()
{
    for (const auto& key : kActingKeys)
        addX(key.name, key.xKeycode, key.keysym(), key.qtKey(), {}, 0, key.virtualKey);

    // Shift changes the keysym and Qt::Key, never the code.
    const struct { const char* name; quint32 keycode; char shifted; int expected; } shifted[] = {
        {"1", 10, '!', 49},  {"2", 11, '@', 50},  {"8", 17, '*', 56},  {"9", 18, '(', 57}, {"0", 19, ')', 48},
        {";", 47, ':', 186}, {"'", 48, '"', 222}, {",", 59, '<', 188}, {".", 60, '>', 190}, {"/", 61, '?', 191},
        {"[", 34, '{', 219}, {"]", 35, '}', 221}, {"Q", 24, 'Q', 81},
    };
    for (const auto& s : shifted)
        addX(QString("Shift+") + s.name, s.keycode, static_cast<quint32>(s.shifted), s.shifted, Qt::ShiftModifier,
             kShiftMask, s.expected);
    addX("Ctrl+Q", 24, 'q', Qt::Key_Q, Qt::ControlModifier, kControlMask, 81);
    addX("Alt+Q", 24, 'q', Qt::Key_Q, Qt::AltModifier, kAltMask, 81);
    addX("Ctrl+Alt+Shift+F", 41, 'F', Qt::Key_F, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier,
         kShiftMask | kControlMask | kAltMask, 70);

    for (int d = 0; d < 10; ++d) {
        addX(QString("KP_%1 NumLock").arg(d), kKeypadKeycodes[d], 0xffb0 + static_cast<quint32>(d), Qt::Key_0 + d,
             Qt::KeypadModifier, kNumLockMask, 96 + d);
        addX(QString("KP_%1 no NumLock").arg(d), kKeypadKeycodes[d], kKeypadKeysymsNoNumLock[d],
             kKeypadQtKeysNoNumLock[d], Qt::KeypadModifier, 0, 96 + d);
    }
    addX("KP_Divide", 106, 0xffaf, Qt::Key_Slash, Qt::KeypadModifier, 0, 111);
    addX("KP_Multiply", 63, 0xffaa, Qt::Key_Asterisk, Qt::KeypadModifier, 0, 106);
    addX("KP_Subtract", 82, 0xffad, Qt::Key_Minus, Qt::KeypadModifier, 0, 109);
    addX("KP_Add", 86, 0xffab, Qt::Key_Plus, Qt::KeypadModifier, 0, 107);
    addX("KP_Decimal", 91, 0xffae, Qt::Key_Period, Qt::KeypadModifier, kNumLockMask, 110);
    addX("KP_Enter", 104, 0xff8d, Qt::Key_Enter, Qt::KeypadModifier, 0, 13);

    addX("T", 28, 't', Qt::Key_T, {}, 0, 84);
    addX("Y", 29, 'y', Qt::Key_Y, {}, 0, 89);
    for (int d = 3; d <= 7; ++d)
        addX(QString::number(d), 9 + static_cast<quint32>(d), '0' + static_cast<quint32>(d), Qt::Key_0 + d, {}, 0,
             '0' + d);
    addX("Escape", 9, 0xff1b, Qt::Key_Escape, {}, 0, 27);
    addX("space", 65, ' ', Qt::Key_Space, {}, 0, 32);
    addX("Return", 36, 0xff0d, Qt::Key_Return, {}, 0, 13);
    addX("minus", 20, '-', Qt::Key_Minus, {}, 0, 189);
    addX("equal", 21, '=', Qt::Key_Equal, {}, 0, 187);
    addX("grave", 49, '`', Qt::Key_QuoteLeft, {}, 0, 192);
    addX("backslash", 51, '\\', Qt::Key_Backslash, {}, 0, 220);
    addX("Left", 113, 0xff51, Qt::Key_Left, {}, 0, 37);
    addX("Shift_L", 50, 0xffe1, Qt::Key_Shift, {}, 0, 16);
    addX("Control_R", 105, 0xffe4, Qt::Key_Control, {}, 0, 17);
    addX("AltGr", 108, 0xfe03, Qt::Key_AltGr, {}, 0, 18);
    addX("unknown keycode", 250, 0, 0, {}, 0, 0);

    // Other layouts play by position: German Z and Y swap, umlauts sit on the
    // punctuation keys; French AZERTY moves A, Q, M and puts & on the 1 key.
    addX("de z on Y", 29, 'z', Qt::Key_Z, {}, 0, 89);
    addX("de y on Z", 52, 'y', Qt::Key_Y, {}, 0, 90);
    addX("de odiaeresis on ;", 47, 0xf6, Qt::Key_Odiaeresis, {}, 0, 186);
    addX("de adiaeresis on '", 48, 0xe4, Qt::Key_Adiaeresis, {}, 0, 222);
    addX("de plus on ]", 35, '+', Qt::Key_Plus, {}, 0, 221);
    addX("de minus on /", 61, '-', Qt::Key_Minus, {}, 0, 191);
    addX("fr a on Q", 24, 'a', Qt::Key_A, {}, 0, 81);
    addX("fr ampersand on 1", 10, '&', Qt::Key_Ampersand, {}, 0, 49);
    addX("fr comma on M", 58, ',', Qt::Key_Comma, {}, 0, 77);
    addX("fr m on ;", 47, 'm', Qt::Key_M, {}, 0, 186);
    addX("fr dead circumflex on [", 34, 0xfe52, Qt::Key_Dead_Circumflex, {}, 0, 219);

    // Synthesized events carry no keycode: Qt::Key is all there is.
    addRow("x11 synthesized F", {Platform::X11, Qt::Key_F, {}, 0, 0, 0, "f", 70});
}

void addMac(const QString& name, quint32 keyCode, int qtKey, Qt::KeyboardModifiers modifiers, int expected)
{
    addRow("mac " + name, {Platform::Mac, qtKey, modifiers, 0, keyCode, kCocoaDeviceBit, QString(), expected});
}

void addMacRows()
{
    for (const auto& key : kActingKeys)
        addMac(key.name, key.macKeyCode, key.qtKey(), {}, key.virtualKey);
    addMac("Shift+1", 0x12, Qt::Key_Exclam, Qt::ShiftModifier, 49);
    addMac("T", 0x11, Qt::Key_T, {}, 84);
    addMac("Y", 0x10, Qt::Key_Y, {}, 89);
    addMac("5", 0x17, Qt::Key_5, {}, 53);
    addMac("6", 0x16, Qt::Key_6, {}, 54);
    addMac("keypad 1", 0x53, Qt::Key_1, Qt::KeypadModifier, 97);
    addMac("keypad divide", 0x4B, Qt::Key_Slash, Qt::KeypadModifier, 111);
    addMac("keypad decimal", 0x41, Qt::Key_Period, Qt::KeypadModifier, 110);
    addMac("Escape", 0x35, Qt::Key_Escape, {}, 27);
    addMac("space", 0x31, Qt::Key_Space, {}, 32);
    addMac("Return", 0x24, Qt::Key_Return, {}, 13);
    addMac("fr q on A", 0x00, Qt::Key_Q, {}, 65);
    addRow("mac synthesized F", {Platform::Mac, Qt::Key_F, {}, 0, 0, 0, "f", 70});
}

void addWindowsRows()
{
    addRow("windows OEM_1 from a German layout", {Platform::Windows, Qt::Key_Odiaeresis, {}, 0x27, 186, 0, "", 186});
    addRow("windows numpad 0", {Platform::Windows, Qt::Key_0, Qt::KeypadModifier, 0x52, 96, 0, "0", 96});
    addRow("windows synthesized F", {Platform::Windows, Qt::Key_F, {}, 0, 0, 0, "f", 70});
}

void addOther(const QString& name, int qtKey, Qt::KeyboardModifiers modifiers, int expected)
{
    addRow("other " + name, {Platform::Other, qtKey, modifiers, 0, 0, 0, QString(), expected});
}

void addOtherRows()
{
    for (const auto& key : kActingKeys)
        addOther(key.name, key.qtKey(), {}, key.virtualKey);
    addOther("Shift+Q", Qt::Key_Q, Qt::ShiftModifier, 81);
    addOther("Shift+1 as !", Qt::Key_Exclam, Qt::ShiftModifier, 49);
    addOther("Shift+' as \"", Qt::Key_QuoteDbl, Qt::ShiftModifier, 222);
    addOther("Shift+[ as {", Qt::Key_BraceLeft, Qt::ShiftModifier, 219);
    addOther("! without Shift is another layout's", Qt::Key_Exclam, {}, 0);
    addOther("keypad 1 NumLock", Qt::Key_1, Qt::KeypadModifier, 97);
    addOther("keypad 1 no NumLock", Qt::Key_End, Qt::KeypadModifier, 97);
    addOther("keypad 5 no NumLock", Qt::Key_Clear, Qt::KeypadModifier, 101);
    addOther("keypad 0 no NumLock", Qt::Key_Insert, Qt::KeypadModifier, 96);
    addOther("keypad slash", Qt::Key_Slash, Qt::KeypadModifier, 111);
    addOther("keypad comma", Qt::Key_Comma, Qt::KeypadModifier, 110);
    addOther("keypad period", Qt::Key_Period, Qt::KeypadModifier, 110);
    addOther("keypad minus", Qt::Key_Minus, Qt::KeypadModifier, 109);
    addOther("keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 13);
    addOther("T", Qt::Key_T, {}, 84);
    addOther("Y", Qt::Key_Y, {}, 89);
    for (int d = 3; d <= 7; ++d)
        addOther(QString::number(d), Qt::Key_0 + d, {}, '0' + d);
    addOther("Escape", Qt::Key_Escape, {}, 27);
    addOther("space", Qt::Key_Space, {}, 32);
    addOther("Return", Qt::Key_Return, {}, 13);
    addOther("Enter", Qt::Key_Enter, {}, 13);
    addOther("Up", Qt::Key_Up, {}, 38);
    addOther("odiaeresis", Qt::Key_Odiaeresis, {}, 0);
}

}  // namespace

class TestKeyTranslate : public QObject {
    Q_OBJECT
private slots:
    void translate_data();
    void translate();
    void onlyTheActingPhysicalKeysAct();
    void platformFromName_data();
    void platformFromName();
    void shiftState_data();
    void shiftState();
};

void TestKeyTranslate::translate_data()
{
    QTest::addColumn<Platform>("platform");
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<quint32>("nativeKey");
    QTest::addColumn<quint32>("nativeModifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    addX11Rows();
    addMacRows();
    addWindowsRows();
    addOtherRows();
}

void TestKeyTranslate::translate()
{
    QFETCH(Platform, platform);
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(quint32, nativeKey);
    QFETCH(quint32, nativeModifiers);
    QFETCH(QString, text);
    QFETCH(int, expected);

    const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, nativeKey, nativeModifiers, text);
    QCOMPARE(int(keytranslate::virtualKey(event, platform)), expected);
}

// Across every keycode a platform can send, exactly the 48 keys act, each
// with its own code; a stray entry in a table would play from a wrong key.
void TestKeyTranslate::onlyTheActingPhysicalKeysAct()
{
    std::set<int> acting;
    for (const auto& key : kActingKeys)
        acting.insert(key.virtualKey);

    auto check = [&](const char* platform, auto translate, auto nativeOf, quint32 last) {
        for (quint64 code = 0; code <= last; ++code) {
            const int virtualKey = translate(static_cast<quint32>(code));
            const testkeys::ActingKey* expected = nullptr;
            for (const auto& key : kActingKeys)
                if (nativeOf(key) == code)
                    expected = &key;
            if (expected)
                QVERIFY2(virtualKey == expected->virtualKey, qPrintable(QString("%1 %2").arg(platform).arg(code)));
            else
                QVERIFY2(acting.count(virtualKey) == 0,
                         qPrintable(QString("%1 code %2 gives acting %3").arg(platform).arg(code).arg(virtualKey)));
        }
    };
    check("x11", keytranslate::fromXKeycode, [](const testkeys::ActingKey& k) { return k.xKeycode; }, 1024);
    check("mac", keytranslate::fromMacKeyCode, [](const testkeys::ActingKey& k) { return k.macKeyCode; }, 1024);
    QCOMPARE(int(keytranslate::fromXKeycode(std::numeric_limits<quint32>::max())), 0);
    QCOMPARE(int(keytranslate::fromMacKeyCode(std::numeric_limits<quint32>::max())), 0);
}

void TestKeyTranslate::platformFromName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Platform>("expected");
    QTest::newRow("xcb") << "xcb" << Platform::X11;
    QTest::newRow("wayland") << "wayland" << Platform::X11;
    QTest::newRow("wayland-egl") << "wayland-egl" << Platform::X11;
    QTest::newRow("windows") << "windows" << Platform::Windows;
    QTest::newRow("cocoa") << "cocoa" << Platform::Mac;
    QTest::newRow("offscreen") << "offscreen" << Platform::Other;
    QTest::newRow("eglfs") << "eglfs" << Platform::Other;
}

void TestKeyTranslate::platformFromName()
{
    QFETCH(QString, name);
    QFETCH(Platform, expected);
    QCOMPARE(keytranslate::platformFromName(name), expected);
}

void TestKeyTranslate::shiftState_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << Qt::KeyboardModifiers() << 0;
    QTest::newRow("Shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << 1;
    QTest::newRow("Ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier) << 2;
    QTest::newRow("Alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 4;
    QTest::newRow("all three") << (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier) << 7;
    QTest::newRow("keypad and meta count for nothing") << (Qt::KeypadModifier | Qt::MetaModifier) << 0;
}

void TestKeyTranslate::shiftState()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, expected);
    QCOMPARE(int(keytranslate::shiftState(modifiers)), expected);
}

QTEST_MAIN(TestKeyTranslate)
#include "tst_keytranslate.moc"
