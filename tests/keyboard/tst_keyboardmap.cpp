// The computer keyboard playing the piano window, with key events delivered to
// the window the way the platform delivers them, and the exact MIDI bytes.

#include "ActingKeys.h"
#include "../ui/PianoWindow.h"

#include <limits>
#include <memory>

using testkeys::ActingKey;
using testkeys::kActingKeys;

namespace {

using Messages = QList<quint32>;

constexpr quint32 kProgram117 = 0x000075C0;
constexpr quint32 kMiddleC = 0x00643C90;
constexpr quint32 kNoteOnQ = 0x00643090;

struct Press {
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    quint32 xKeycode;
    QString text;
    bool autoRepeat = false;
};

Press pressOf(const ActingKey& key, bool autoRepeat = false)
{
    return {key.qtKey(), {}, key.xKeycode, key.text(), autoRepeat};
}

// A press and its release, sent to the window as the platform sends them.
void keyClick(PianoWindow& piano, const Press& p)
{
    piano.key(QEvent::KeyPress, p.qtKey, p.modifiers, p.autoRepeat, p.xKeycode, p.text);
    piano.key(QEvent::KeyRelease, p.qtKey, p.modifiers, p.autoRepeat, p.xKeycode, p.text);
}

struct Piano : PianoWindow {
    Messages sent() const
    {
        const std::vector<std::uint32_t> all = out.sent();
        return Messages(all.begin(), all.end());
    }
};

}  // namespace

class TestKeyboardMap : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void actingKeyThroughWindow_data();
    void actingKeyThroughWindow();
    void otherKeysThroughWindow_data();
    void otherKeysThroughWindow();
    void everyCodeAndShiftState();
    void programStaysForLaterNotes();
    void autoRepeatPlaysEachTime();
    void inactiveWindowPlaysNothing();

private:
    std::unique_ptr<Piano> piano_;
};

void TestKeyboardMap::init()
{
    piano_ = std::make_unique<Piano>();
    QVERIFY(piano_->show());
}

void TestKeyboardMap::cleanup() { piano_.reset(); }

void TestKeyboardMap::actingKeyThroughWindow_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < static_cast<int>(std::size(kActingKeys)); ++row)
        QTest::newRow(kActingKeys[row].name) << row;
}

void TestKeyboardMap::actingKeyThroughWindow()
{
    QFETCH(int, row);
    const ActingKey& key = kActingKeys[row];

    keyClick(*piano_, pressOf(key));
    QCOMPARE(piano_->sent(), Messages{key.message()});

    if (!key.isFunctionKey()) {
        // A click on the same key sends the same bytes.
        piano_->out.clear();
        piano_->clickKey(key.keyIndex);
        QCOMPARE(piano_->sent(), Messages{key.message()});
    }
}

void TestKeyboardMap::otherKeysThroughWindow_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Messages>("expected");
    const Qt::KeyboardModifiers none;
    QTest::newRow("T") << int(Qt::Key_T) << none << Messages{};
    QTest::newRow("Y") << int(Qt::Key_Y) << none << Messages{};
    for (int d = 3; d <= 7; ++d)
        QTest::addRow("%d", d) << Qt::Key_0 + d << none << Messages{};
    for (int d = 0; d <= 9; ++d)
        QTest::addRow("keypad %d", d) << Qt::Key_0 + d << Qt::KeyboardModifiers(Qt::KeypadModifier) << Messages{};
    QTest::newRow("keypad End") << int(Qt::Key_End) << Qt::KeyboardModifiers(Qt::KeypadModifier) << Messages{};
    QTest::newRow("keypad slash") << int(Qt::Key_Slash) << Qt::KeyboardModifiers(Qt::KeypadModifier) << Messages{};
    QTest::newRow("keypad comma") << int(Qt::Key_Comma) << Qt::KeyboardModifiers(Qt::KeypadModifier) << Messages{};
    QTest::newRow("keypad period") << int(Qt::Key_Period) << Qt::KeyboardModifiers(Qt::KeypadModifier) << Messages{};
    QTest::newRow("minus") << int(Qt::Key_Minus) << none << Messages{};
    QTest::newRow("equal") << int(Qt::Key_Equal) << none << Messages{};
    QTest::newRow("backquote") << int(Qt::Key_QuoteLeft) << none << Messages{};
    QTest::newRow("backslash") << int(Qt::Key_Backslash) << none << Messages{};
    QTest::newRow("Left") << int(Qt::Key_Left) << none << Messages{};
    QTest::newRow("Shift") << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier) << Messages{};
    QTest::newRow("F13") << int(Qt::Key_F13) << none << Messages{};
    // Modifiers change nothing.
    QTest::newRow("Shift+Q") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ShiftModifier) << Messages{kNoteOnQ};
    QTest::newRow("Ctrl+Alt+Q") << int(Qt::Key_Q) << (Qt::ControlModifier | Qt::AltModifier) << Messages{kNoteOnQ};
    QTest::newRow("Shift+1 as !") << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                  << Messages{0x00643190};
}

void TestKeyboardMap::otherKeysThroughWindow()
{
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Messages, expected);
    keyClick(*piano_, {qtKey, modifiers, 0, QString()});
    QCOMPARE(piano_->sent(), expected);
    QVERIFY(!piano_->frm->isUnloaded());
}

// The handler itself, for every 16-bit code and Shift value: the 48 codes
// send their one message whatever Shift says, all others make no call.
void TestKeyboardMap::everyCodeAndShiftState()
{
    midi::RecordingOutput& out = piano_->out;
    int acting = 0;
    for (int code = std::numeric_limits<std::int16_t>::min(); code <= std::numeric_limits<std::int16_t>::max(); ++code) {
        const ActingKey* key = testkeys::actingKeyOf(code);
        for (std::int16_t shift = 0; shift <= 7; ++shift) {
            out.clear();
            std::int16_t keyCode = static_cast<std::int16_t>(code);
            std::int16_t shiftArg = shift;
            piano_->frm->Form_KeyDown(keyCode, shiftArg);
            const QString where = QString("code %1 shift %2").arg(code).arg(shift);
            QVERIFY2(keyCode == code && shiftArg == shift, qPrintable(where + ": arguments changed"));
            if (!key) {
                QVERIFY2(out.calls.empty(), qPrintable(where + ": made a call"));
                continue;
            }
            QVERIFY2(out.calls.size() == 1 && out.sent() == std::vector<std::uint32_t>{key->message()},
                     qPrintable(where + ": wrong message"));
            ++acting;
        }
    }
    QCOMPARE(acting, 48 * 8);
}

void TestKeyboardMap::programStaysForLaterNotes()
{
    keyClick(*piano_, pressOf(*testkeys::actingKeyOf(123)));  // F12
    keyClick(*piano_, pressOf(*testkeys::actingKeyOf(70)));   // F
    QCOMPARE(piano_->sent(), (Messages{kProgram117, kMiddleC}));
}

// A held key repeats its note-on and never sends a note-off.
void TestKeyboardMap::autoRepeatPlaysEachTime()
{
    QWindow* window = piano_->window();
    const ActingKey& q = *testkeys::actingKeyOf(81);
    QKeyEvent first(QEvent::KeyPress, q.qtKey(), {}, q.xKeycode, q.keysym(), 0, q.text());
    QCoreApplication::sendEvent(window, &first);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, q.qtKey(), {}, q.xKeycode, q.keysym(), 0, q.text(), true);
        QCoreApplication::sendEvent(window, &repeat);
    }
    QCOMPARE(piano_->sent(), (Messages{kNoteOnQ, kNoteOnQ, kNoteOnQ, kNoteOnQ}));
}

void TestKeyboardMap::inactiveWindowPlaysNothing()
{
    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!piano_->frm->isActiveWindow());

    keyClick(*piano_, pressOf(*testkeys::actingKeyOf(70)));   // F
    keyClick(*piano_, pressOf(*testkeys::actingKeyOf(112)));  // F1
    QCOMPARE(piano_->sent(), Messages{});

    // Active again, the same key plays.
    piano_->frm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(piano_->frm.get()));
    keyClick(*piano_, pressOf(*testkeys::actingKeyOf(70)));
    QCOMPARE(piano_->sent(), Messages{kMiddleC});
}

QTEST_MAIN(TestKeyboardMap)
#include "tst_keyboardmap.moc"
