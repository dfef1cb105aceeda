// Abuse of the window's input, through its QWindow as the platform delivers it:
// every key code with every modifier state, floods of key presses (auto-repeats
// among them) and of clicks, double clicks. Nothing may crash, every event
// makes at most one MIDI call and exactly the one it should, only Esc and the
// focused quit button's keys end the window, and memory does not grow.

#include "../keyboard/ActingKeys.h"
#include "../ui/PianoWindow.h"

#include <QElapsedTimer>
#include <QFile>

#include <array>
#include <memory>
#include <optional>

using midi::RecordingOutput;
using testkeys::ActingKey;

#if defined(__SANITIZE_ADDRESS__)
#define PLINKORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLINKORA_ASAN 1
#endif
#endif
#ifndef PLINKORA_ASAN
#define PLINKORA_ASAN 0
#endif

namespace {

constexpr int kFloodEvents = 100'000;
constexpr int kFloodClicks = 100'000;
// Generous: what the recorder keeps is cleared as the flood goes, so the
// window itself would have to keep about 100 bytes per event to reach it.
constexpr long kRssGrowthLimitKb = 20 * 1024;
// AddressSanitizer keeps freed memory in quarantine, so RSS grows there by
// design; its leak checker watches memory instead.
constexpr bool kCheckRss = !PLINKORA_ASAN;

// What Shift makes of the US keys whose codes act, taken back to those keys.
constexpr std::array<std::pair<char, char>, 12> kShiftedActing = {{
    {'!', '1'}, {'@', '2'}, {'*', '8'}, {'(', '9'}, {')', '0'}, {'<', ','},
    {'>', '.'}, {'?', '/'}, {':', ';'}, {'"', '\''}, {'{', '['}, {'}', ']'},
}};

constexpr Qt::KeyboardModifier kModifierBits[] = {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier,
                                                   Qt::MetaModifier, Qt::KeypadModifier};
constexpr int kModifierStates = 1 << std::size(kModifierBits);

Qt::KeyboardModifiers modifierState(int bits)
{
    Qt::KeyboardModifiers state;
    for (std::size_t i = 0; i < std::size(kModifierBits); ++i)
        if (bits & (1 << i))
            state |= kModifierBits[i];
    return state;
}

const ActingKey* actingKeyOfQtKey(int qtKey)
{
    for (const ActingKey& key : testkeys::kActingKeys)
        if (key.qtKey() == qtKey)
            return &key;
    return nullptr;
}

// The message a key event with no native codes should send, worked out from
// the US keyboard rather than from the tables under test.
std::optional<std::uint32_t> expectedMessage(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier)
        return std::nullopt;  // keypad keys never play
    if (const ActingKey* key = actingKeyOfQtKey(qtKey))
        return key->message();
    if (modifiers & Qt::ShiftModifier)
        for (const auto& [shifted, base] : kShiftedActing)
            if (qtKey == shifted)
                return actingKeyOfQtKey(base)->message();
    return std::nullopt;
}

// Esc clicks the quit button; Space, Select, Enter and Return are what the
// focused button itself answers to.
bool mayQuit(int qtKey)
{
    return qtKey == Qt::Key_Escape || qtKey == Qt::Key_Space || qtKey == Qt::Key_Select || qtKey == Qt::Key_Return
        || qtKey == Qt::Key_Enter;
}

long rssKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

struct Piano : PianoWindow {
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, window()->mapToGlobal(at), button, held, {});
        QCoreApplication::sendEvent(window(), &event);
    }
};

std::uint32_t noteOn(int k) { return static_cast<std::uint32_t>(keys::note(k) * 256 + 0x90 + 100 * 65536); }

}  // namespace

class TestInputAbuse : public QObject {
    Q_OBJECT
private slots:
    void everyKeyCodeAndModifierState();
    void keyFlood();
    void clickFlood();
    void doubleClickPlaysOncePerPress();
};

// Every Qt key code below 0x10000 (Latin-1 and Unicode keys) and the blocks
// of special keys, pressed and released with each of the 32 modifier states.
void TestInputAbuse::everyKeyCodeAndModifierState()
{
    std::vector<int> codes;
    for (int code = 0; code <= 0xFFFF; ++code)
        codes.push_back(code);
    for (const auto& [first, last] : {std::pair{0x01000000, 0x010001FF}, {0x01001100, 0x010011FF},
                                      {0x01020000, 0x0102000F}, {0x01FFFFFF, 0x01FFFFFF}})
        for (int code = first; code <= last; ++code)
            codes.push_back(code);

    auto piano = std::make_unique<Piano>();
    QVERIFY(piano->show());
    QElapsedTimer timer;
    timer.start();
    long events = 0;
    int quits = 0;
    int escapes = 0;
    for (int code : codes) {
        for (int bits = 0; bits < kModifierStates; ++bits) {
            const Qt::KeyboardModifiers modifiers = modifierState(bits);
            const auto expected = expectedMessage(code, modifiers);
            piano->key(QEvent::KeyPress, code, modifiers);
            piano->key(QEvent::KeyRelease, code, modifiers);
            events += 2;
            const auto where = [&] { return QString("key 0x%1 modifiers 0x%2").arg(code, 0, 16).arg(int(modifiers), 0, 16); };

            if (piano->frm->isUnloaded()) {
                QVERIFY2(mayQuit(code), qPrintable(where() + " ended the window"));
                ++quits;
                escapes += code == Qt::Key_Escape ? 1 : 0;
                piano = std::make_unique<Piano>();
                QVERIFY(piano->show());
                continue;
            }
            if (!expected && piano->out.calls.empty())
                continue;
            const std::vector<std::uint32_t> sent = piano->out.sent();
            QVERIFY2(piano->out.calls.size() == sent.size(), qPrintable(where() + ": opened or closed the device"));
            if (expected)
                QVERIFY2(sent == std::vector<std::uint32_t>{*expected}, qPrintable(where() + ": wrong message"));
            else
                QVERIFY2(sent.empty(), qPrintable(where() + ": played"));
            piano->out.clear();
        }
    }
    // Esc ends the window under every modifier state but the keypad's.
    QCOMPARE(escapes, kModifierStates / 2);
    qInfo("%ld key events in %lld ms, %d of them ended the window", events, timer.elapsed(), quits);
}

// Presses, auto-repeats and releases of the acting keys as the X server sends
// them (keycode, text), interleaved: one message per press, in order.
void TestInputAbuse::keyFlood()
{
    Piano piano;
    QVERIFY(piano.show());
    const auto& keysTable = testkeys::kActingKeys;
    constexpr int kRounds = 4;  // the first warms up; memory is measured over the rest
    constexpr int kEventsPerRound = kFloodEvents / (kRounds - 1);
    long before = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round == 1)
            before = rssKb();
        std::vector<std::uint32_t> expected;
        expected.reserve(kEventsPerRound);
        for (int i = 0; i < kEventsPerRound; ++i) {
            const ActingKey& key = keysTable[(i / 3) % std::size(keysTable)];
            // Three events per key: a press, an auto-repeat, then the release.
            const int phase = i % 3;
            const QEvent::Type type = phase == 2 ? QEvent::KeyRelease : QEvent::KeyPress;
            piano.key(type, key.qtKey(), {}, phase == 1, key.xKeycode, key.text());
            if (type == QEvent::KeyPress)
                expected.push_back(key.message());
        }
        QCOMPARE(piano.out.calls.size(), expected.size());
        QVERIFY(piano.out.sent() == expected);
        piano.out.clear();
        piano.out.calls.shrink_to_fit();
    }
    const long growth = rssKb() - before;
    qInfo("RSS grew by %ld kB over %d key events", growth, kFloodEvents);
    if (kCheckRss)
        QVERIFY2(growth < kRssGrowthLimitKb, qPrintable(QString("RSS grew by %1 kB").arg(growth)));
    QVERIFY(!piano.frm->isUnloaded());
}

// Left clicks on every key in turn, with right and middle clicks and clicks on
// the banner between them: one note-on per left press on a key, nothing else.
void TestInputAbuse::clickFlood()
{
    Piano piano;
    QVERIFY(piano.show());
    std::array<QPoint, keys::kCount> points;
    for (int k = 0; k < keys::kCount; ++k)
        points[k] = piano.pointOf(k);
    const QPoint banner(piano.frm->width() / 2, 10);

    constexpr int kRounds = 4;
    constexpr int kClicksPerRound = kFloodClicks / (kRounds - 1);
    long before = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round == 1)
            before = rssKb();
        std::vector<std::uint32_t> expected;
        for (int i = 0; i < kClicksPerRound; ++i) {
            const int k = i % keys::kCount;
            switch (i % 8) {
            case 5:
                piano.mouse(QEvent::MouseButtonPress, points[k], Qt::RightButton);
                piano.mouse(QEvent::MouseButtonRelease, points[k], Qt::RightButton);
                break;
            case 6:
                piano.mouse(QEvent::MouseButtonPress, banner);
                piano.mouse(QEvent::MouseButtonRelease, banner);
                break;
            default:
                piano.mouse(QEvent::MouseButtonPress, points[k]);
                piano.mouse(QEvent::MouseButtonRelease, points[k]);
                expected.push_back(noteOn(k));
            }
        }
        QCOMPARE(piano.out.calls.size(), expected.size());
        QVERIFY(piano.out.sent() == expected);
        piano.out.clear();
        piano.out.calls.shrink_to_fit();
    }
    const long growth = rssKb() - before;
    qInfo("RSS grew by %ld kB over %d clicks", growth, kFloodClicks);
    if (kCheckRss)
        QVERIFY2(growth < kRssGrowthLimitKb, qPrintable(QString("RSS grew by %1 kB").arg(growth)));
}

// Two quick presses are two notes: Qt delivers the second one as a double
// click only, which must still play.
void TestInputAbuse::doubleClickPlaysOncePerPress()
{
    Piano piano;
    QVERIFY(piano.show());
    QTest::mouseDClick(piano.window(), Qt::LeftButton, {}, piano.pointOf(12));
    QCOMPARE(piano.out.sent(), (std::vector<std::uint32_t>{noteOn(12), noteOn(12)}));
}

QTEST_MAIN(TestInputAbuse)
#include "tst_input_abuse.moc"
