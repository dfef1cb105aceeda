// Input event to note-on, in process on Qt's offscreen platform: the time
// from handing a key press (or a left-button press) to the window until the
// MIDI output receives the note-on. Three outputs: the recording output (the
// window's own cost), and the real FluidSynth output with an offline engine
// (the window plus the synthesizer's note-on).
//   QT_QPA_PLATFORM=offscreen bench-input [PRESSES]

#include "Clock.h"
#include "Stats.h"

#include "midi/FluidSynthOutput.h"
#include "ui/FrmMain.h"
#include "ui/KeyTable.h"
#include "midi/RecordingOutput.h"
#include "midi/ShortMessage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

bool isNoteOn(std::uint32_t message) { return (midi::unpack(message).status & 0xF0) == 0x90; }
int noteOf(std::uint32_t message) { return midi::unpack(message).data1; }

// Stamps every note-on after the wrapped output has handled it.
class StampingOutput final : public midi::OutputPort {
public:
    explicit StampingOutput(midi::OutputPort& inner) : inner_(inner) {}
    midi::Status open(midi::Handle* handle, std::uint32_t deviceId) override
    {
        const midi::Status result = inner_.open(handle, deviceId);
        openHandle = *handle;
        return result;
    }
    midi::Status close(midi::Handle handle) override { return inner_.close(handle); }
    midi::Status sendShort(midi::Handle handle, std::uint32_t message) override
    {
        const midi::Status result = inner_.sendShort(handle, message);
        if (isNoteOn(message) && onNoteOn)
            onNoteOn(message);
        return result;
    }
    std::function<void(std::uint32_t)> onNoteOn;
    midi::Handle openHandle = 0;

private:
    midi::OutputPort& inner_;
};

// The piano keys played by a letter or digit, whose Qt key equals the code.
std::vector<int> letterKeys()
{
    std::vector<int> keys;
    for (int k = 0; k < keys::kCount; ++k) {
        const int vk = keys::kComputerKeys[static_cast<std::size_t>(k)].virtualKey;
        if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
            keys.push_back(k);
    }
    return keys;
}

// A point of the window where key k, and no key in front of it, lies.
QPointF visiblePoint(FrmMain& frm, int k)
{
    const PictureBox* key = frm.PicA(k);
    const int y = keys::isBlack(k) ? key->height() / 2 : key->height() - 4;
    return QPointF(key->mapTo(&frm, QPoint(key->width() / 2, y)));
}

struct Measurement {
    std::vector<double> us;
    int wrongNotes = 0;
};

// Presses every key of `keys` in turn, `presses` times in all; `between` runs
// untimed after each press (the audio thread's share of time).
template <typename Press>
Measurement measure(FrmMain& frm, std::optional<bench::Steady::time_point>& stampedAt, int& lastNote,
                    const std::vector<int>& keys, int presses, Press press, const std::function<void()>& between)
{
    Measurement m;
    m.us.reserve(static_cast<std::size_t>(presses));
    for (int i = 0; i < presses; ++i) {
        const int k = keys[static_cast<std::size_t>(i) % keys.size()];
        stampedAt.reset();
        const auto start = bench::Steady::now();
        press(frm, k);
        if (!stampedAt || lastNote != keys::note(k)) {
            ++m.wrongNotes;
            continue;
        }
        m.us.push_back(bench::microsecondsBetween(start, *stampedAt));
        if (between)
            between();
    }
    return m;
}

void pressKey(FrmMain& frm, int k)
{
    const int vk = keys::kComputerKeys[static_cast<std::size_t>(k)].virtualKey;
    QKeyEvent down(QEvent::KeyPress, vk, Qt::NoModifier, QString(QChar(vk).toLower()));
    QCoreApplication::sendEvent(frm.windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, vk, Qt::NoModifier, QString(QChar(vk).toLower()));
    QCoreApplication::sendEvent(frm.windowHandle(), &up);
}

void clickKey(FrmMain& frm, int k)
{
    const QPointF local = visiblePoint(frm, k);
    const QPointF global = frm.mapToGlobal(local);
    QMouseEvent down(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frm.windowHandle(), &down);
    QMouseEvent up(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frm.windowHandle(), &up);
}

void reportMeasurement(const std::string& name, const Measurement& m, const std::string& how)
{
    const std::string detail = how + ", n=" + std::to_string(m.us.size()) + ", wrong=" + std::to_string(m.wrongNotes)
        + ", max " + std::to_string(bench::percentile(m.us, 100)) + " us";
    bench::report(name + "_p50", bench::median(m.us), "us", detail);
    bench::report(name + "_p99", bench::percentile(m.us, 99), "us", detail);
}

void showActive(FrmMain& frm)
{
    frm.Show();
    frm.activateWindow();
    if (!QTest::qWaitForWindowActive(&frm)) {
        std::fprintf(stderr, "bench-input: the window did not become active\n");
        std::exit(1);
    }
}

void benchRecording(int presses, const std::vector<int>& keys, const std::vector<int>& allKeys)
{
    midi::RecordingOutput out;
    std::optional<bench::Steady::time_point> stampedAt;
    int lastNote = -1;
    out.onSend = [&](std::uint32_t message) {
        if (isNoteOn(message)) {
            stampedAt = bench::Steady::now();
            lastNote = noteOf(message);
        }
    };
    FrmMain frm(out);
    showActive(frm);
    auto forget = [&] { out.clear(); };
    reportMeasurement("key_to_noteon_recording", measure(frm, stampedAt, lastNote, keys, presses, pressKey, forget),
                      "QKeyEvent to window, RecordingOutput::onSend");
    reportMeasurement("click_to_noteon_recording", measure(frm, stampedAt, lastNote, allKeys, presses, clickKey, forget),
                      "QMouseEvent press to window, RecordingOutput::onSend");
    frm.Unload();
}

void benchSynth(int presses, const std::vector<int>& keys, const std::vector<int>& allKeys)
{
    midi::FluidSynthOutput synth([] {
        synth::SynthConfig config = synth::installedConfig();
        config.audioOutputs.clear();
        return config;
    });
    StampingOutput out(synth);
    std::optional<bench::Steady::time_point> stampedAt;
    int lastNote = -1;
    out.onNoteOn = [&](std::uint32_t message) {
        stampedAt = bench::Steady::now();
        lastNote = noteOf(message);
    };
    FrmMain frm(out);
    showActive(frm);
    synth::Player* player = synth.player(out.openHandle);
    if (!player) {
        std::fprintf(stderr, "bench-input: the synthesizer did not open\n");
        std::exit(1);
    }
    synth::SynthEngine* engine = &player->engine();
    // One period of audio between presses, so voices age and end as they would.
    std::array<float, 512> left{}, right{};
    auto render = [&] { engine->render(left.data(), right.data(), static_cast<int>(left.size())); };
    reportMeasurement("key_to_noteon_synth", measure(frm, stampedAt, lastNote, keys, presses, pressKey, render),
                      "QKeyEvent to window, FluidSynthOutput::sendShort returned (offline engine)");
    reportMeasurement("click_to_noteon_synth", measure(frm, stampedAt, lastNote, allKeys, presses, clickKey, render),
                      "QMouseEvent press to window, FluidSynthOutput::sendShort returned (offline engine)");
    frm.Unload();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::vector<int> allKeys(keys::kCount);
    for (int k = 0; k < keys::kCount; ++k)
        allKeys[static_cast<std::size_t>(k)] = k;
    benchRecording(presses, letterKeys(), allKeys);
    benchSynth(presses, letterKeys(), allKeys);
    return 0;
}
