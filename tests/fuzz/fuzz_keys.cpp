// Fuzz target: the key translation of every platform, the keyboard map, and
// the window's key-down handler and key preview, with arbitrary key events and
// codes. Invariants: every code is a Windows virtual-key code (0-255); a
// physical key's code never depends on the modifiers, the Qt key or the text;
// only the 48 acting codes act, each with its own key or program; a key event
// makes at most one MIDI call, and exactly the acting key's message; only Esc
// and the focused quit button's keys end the window.

#include "../keyboard/ActingKeys.h"
#include "../ui/PianoWindow.h"
#include "FuzzInput.h"
#include "ui/KeyTranslate.h"
#include "ui/KeyboardMap.h"

#include <QApplication>


namespace {

using keytranslate::Platform;

constexpr Platform kPlatforms[] = {Platform::X11, Platform::Windows, Platform::Mac, Platform::Other};

struct Piano : PianoWindow {
    Piano() { (void)show(); }
};

// Made once and never destroyed: at exit Qt's own statics may already be gone.
Piano* piano = nullptr;

struct KeyFields {
    int key;
    Qt::KeyboardModifiers modifiers;
    quint32 scanCode;
    quint32 virtualKey;
    quint32 nativeModifiers;
    bool autoRepeat;
    QString text;
};

// Keys worth hitting more often than a random 32-bit value would. Those that
// end the window come seldom: each costs a new window.
constexpr int kSpecialKeys[] = {Qt::Key_Tab,  Qt::Key_Backtab,  Qt::Key_Exclam, Qt::Key_Less,
                                Qt::Key_Question, Qt::Key_Colon, Qt::Key_QuoteDbl, Qt::Key_Home, Qt::Key_unknown};
constexpr int kQuittingKeys[] = {Qt::Key_Escape, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Select};

template <typename T, std::size_t N>
T pickFrom(const T (&table)[N], int raw)
{
    return table[static_cast<unsigned>(raw) % N];
}

int takeQtKey(fuzz::Input& in)
{
    const std::uint8_t pick = in.take<std::uint8_t>();
    const int raw = in.take<int>();
    if (pick == 0xA5)
        return pickFrom(kQuittingKeys, raw);
    switch (pick % 4) {
    case 0: return pickFrom(testkeys::kActingKeys, raw).qtKey();
    case 1: return pickFrom(kSpecialKeys, raw);
    case 2: return raw & 0xFFFF;
    default: return raw;
    }
}

KeyFields takeKey(fuzz::Input& in)
{
    KeyFields k;
    k.key = takeQtKey(in);
    k.modifiers = Qt::KeyboardModifiers(in.take<quint32>() & Qt::KeyboardModifierMask);
    k.scanCode = in.take<quint32>();
    k.virtualKey = in.take<quint32>();
    k.nativeModifiers = in.take<quint32>();
    k.autoRepeat = in.takeBool();
    const char16_t ch = in.take<char16_t>();
    k.text = ch ? QString(QChar(ch)) : QString();
    return k;
}

QKeyEvent eventOf(const KeyFields& k, QEvent::Type type = QEvent::KeyPress)
{
    return QKeyEvent(type, k.key, k.modifiers, k.scanCode, k.virtualKey, k.nativeModifiers, k.text, k.autoRepeat);
}

bool inVirtualKeyRange(int code) { return code >= 0 && code <= 255; }

// What the keyboard map must do with a code, from the test's own table.
void checkAction(int code)
{
    const keymap::Action action = keymap::actionFor(code);
    const testkeys::ActingKey* acting = testkeys::actingKeyOf(code);
    if (!acting) {
        FUZZ_CHECK(action.kind == keymap::Kind::None);
        return;
    }
    if (acting->isFunctionKey())
        FUZZ_CHECK(action.kind == keymap::Kind::SetProgram && action.value == acting->program);
    else
        FUZZ_CHECK(action.kind == keymap::Kind::PlayKey && action.value == acting->keyIndex);
}

void checkTables(fuzz::Input& in)
{
    const quint32 native = in.take<quint32>();
    FUZZ_CHECK(inVirtualKeyRange(keytranslate::fromXKeycode(native)));
    FUZZ_CHECK(inVirtualKeyRange(keytranslate::fromMacKeyCode(native)));
    const auto modifiers = Qt::KeyboardModifiers(in.take<quint32>());
    FUZZ_CHECK(inVirtualKeyRange(keytranslate::fromQtKey(in.take<int>(), modifiers)));
    const std::int16_t shift = keytranslate::shiftState(modifiers);
    FUZZ_CHECK(shift >= 0 && shift <= 7);
    FUZZ_CHECK(((shift & 1) != 0) == modifiers.testFlag(Qt::ShiftModifier));
    checkAction(in.take<int>());
}

// The same physical key with everything else changed gives the same code.
void checkPhysicalKey(fuzz::Input& in)
{
    const Platform platform = kPlatforms[in.take<std::uint8_t>() % std::size(kPlatforms)];
    const KeyFields a = takeKey(in);
    KeyFields b = takeKey(in);
    b.scanCode = a.scanCode;
    b.virtualKey = a.virtualKey;
    const QKeyEvent first = eventOf(a);
    const QKeyEvent second = eventOf(b);
    const std::int16_t code = keytranslate::virtualKey(first, platform);
    FUZZ_CHECK(inVirtualKeyRange(code));
    checkAction(code);
    const bool physical = (platform == Platform::X11 && a.scanCode != 0)
        || (platform == Platform::Mac && (a.virtualKey != 0 || (a.nativeModifiers != 0 && b.nativeModifiers != 0)))
        || (platform == Platform::Windows && a.virtualKey != 0);
    if (physical)
        FUZZ_CHECK(keytranslate::virtualKey(second, platform) == code);
}

void checkHandler(fuzz::Input& in)
{
    std::int16_t keyCode = in.take<std::int16_t>();
    std::int16_t shift = in.take<std::int16_t>();
    const std::int16_t codeBefore = keyCode, shiftBefore = shift;
    piano->out.clear();
    piano->frm->Form_KeyDown(keyCode, shift);
    FUZZ_CHECK(keyCode == codeBefore && shift == shiftBefore);
    const testkeys::ActingKey* acting = testkeys::actingKeyOf(keyCode);
    if (acting)
        FUZZ_CHECK(piano->out.sent() == std::vector<std::uint32_t>{acting->message()});
    else
        FUZZ_CHECK(piano->out.calls.empty());
}

bool mayQuit(int key)
{
    return key == Qt::Key_Escape || key == Qt::Key_Space || key == Qt::Key_Select || key == Qt::Key_Return
        || key == Qt::Key_Enter;
}

// An event through the window, as the platform would deliver it.
void checkWindow(fuzz::Input& in)
{
    const KeyFields k = takeKey(in);
    const QEvent::Type type = in.takeBool() ? QEvent::KeyRelease : QEvent::KeyPress;
    piano->out.clear();
    QKeyEvent event = eventOf(k, type);
    QCoreApplication::sendEvent(piano->frm->windowHandle(), &event);
    if (piano->frm->isUnloaded()) {
        FUZZ_CHECK(mayQuit(k.key) || keytranslate::virtualKey(event) == 27);
        delete piano;
        piano = new Piano;
        return;
    }
    const std::vector<std::uint32_t> sent = piano->out.sent();
    FUZZ_CHECK(piano->out.calls.size() == sent.size() && sent.size() <= 1);
    if (sent.empty())
        return;
    FUZZ_CHECK(type == QEvent::KeyPress);
    const testkeys::ActingKey* acting = testkeys::actingKeyOf(keytranslate::virtualKey(event));
    FUZZ_CHECK(acting && sent.front() == acting->message());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    piano = new Piano;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in(data, size);
    while (!in.empty()) {
        switch (in.take<std::uint8_t>() % 4) {
        case 0: checkTables(in); break;
        case 1: checkPhysicalKey(in); break;
        case 2: checkHandler(in); break;
        case 3: checkWindow(in); break;
        }
    }
    return 0;
}
