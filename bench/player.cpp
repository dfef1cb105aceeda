// plinkora-bench-player: the program as app/main.cpp builds it, but with the
// audio output and its buffer chosen on the command line, so the benchmarks
// can measure key-to-sound per output and buffer size through the real window
// and input path. This launcher exists only for bench/.
//   plinkora-bench-player [--audio NAME] [--buffer FRAMES] [--max-buffer FRAMES]
//                         [--request FRAMES] [--report-buffer] [--trace-start]
//                         [--defer-synth]
// --audio: pipewire, pulseaudio, alsa (default: as the program chooses).
// --buffer: the starting target of audio queued in the server; --max-buffer
// how far it may grow on underflows; --request how much PulseAudio asks for
// at a time (the program's defaults otherwise).
// --report-buffer prints "buffer FRAMES" on stdout when the stream starts and
// whenever its buffer grows.
// --trace-start prints the wall-clock time of each stage of the start-up
// ("STAGE SECONDS" lines on stdout), to split the launch time.
// --defer-synth is a prototype: the synthesizer opens once the window is
// exposed rather than before it is shown (see DeferredOutput.h).

#include "app/Application.h"
#include "Clock.h"
#include "DeferredOutput.h"
#include "midi/FluidSynthOutput.h"
#include "ui/FrmMain.h"
#include "app/ProcessGuard.h"
#include "app/QtMessages.h"
#include "ui/RuntimeError.h"

#include <QEvent>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

constexpr int kMinFrames = 64;
constexpr int kMaxFrames = 8192;

bool hasFlag(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

bool tracing = false;

void stage(const char* name)
{
    if (tracing) {
        std::printf("%s %.6f\n", name, bench::wallSeconds());
        std::fflush(stdout);
    }
}

// Marks when the synthesizer's device opens and when it is ready.
class TracedOutput final : public midi::OutputPort {
public:
    explicit TracedOutput(midi::OutputPort& inner) : inner_(inner) {}
    midi::Status open(midi::Handle* handle, std::uint32_t deviceId) override
    {
        stage("synth-open-begin");
        const midi::Status result = inner_.open(handle, deviceId);
        stage("synth-open-end");
        return result;
    }
    midi::Status sendShort(midi::Handle handle, std::uint32_t message) override { return inner_.sendShort(handle, message); }
    midi::Status close(midi::Handle handle) override { return inner_.close(handle); }

private:
    midi::OutputPort& inner_;
};

// Opens the deferred synthesizer after the window's first expose has been
// handled, i.e. once the window is on the screen.
class OpenWhenExposed final : public QObject {
public:
    explicit OpenWhenExposed(bench::DeferredOutput& output) : output_(output) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && !done_) {
            done_ = true;
            QMetaObject::invokeMethod(this, [this] {
                stage("exposed");
                output_.openNow();
            }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bench::DeferredOutput& output_;
    bool done_ = false;
};

const char* valueOf(int argc, char** argv, const char* option)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return argv[i + 1];
    return nullptr;
}

int framesFrom(int argc, char** argv, const char* option, int fallback)
{
    const char* value = valueOf(argc, argv, option);
    const int frames = value ? std::atoi(value) : fallback;
    if (frames < kMinFrames || frames > kMaxFrames) {
        std::fprintf(stderr, "plinkora-bench-player: %s must be %d..%d\n", option, kMinFrames, kMaxFrames);
        std::exit(2);
    }
    return frames;
}

synth::SynthConfig configFrom(int argc, char** argv)
{
    synth::SynthConfig config = synth::installedConfig();
    if (const char* audio = valueOf(argc, argv, "--audio"))
        config.audioOutputs = {audio};
    config.audio.bufferFrames = framesFrom(argc, argv, "--buffer", config.audio.bufferFrames);
    config.audio.maxBufferFrames = std::max(config.audio.bufferFrames,
                                            framesFrom(argc, argv, "--max-buffer", config.audio.maxBufferFrames));
    config.audio.requestFrames = framesFrom(argc, argv, "--request", config.audio.requestFrames);
    if (hasFlag(argc, argv, "--report-buffer"))
        config.audio.bufferChanged = [](int frames) {
            std::printf("buffer %d\n", frames);
            std::fflush(stdout);
        };
    return config;
}

}  // namespace

int main(int argc, char* argv[])
{
    tracing = hasFlag(argc, argv, "--trace-start");
    stage("main");
    const synth::SynthConfig config = configFrom(argc, argv);
    const bool defer = hasFlag(argc, argv, "--defer-synth");
    midi::FluidSynthOutput synth([&config] { return config; });
    // As the program does: the synthesizer loads while the toolkit starts.
    if (!defer)
        synth.prepare();
    FrmMain::preload();
    installQtMessageHandler();
    Application app(argc, argv);
    stage("application");
    TracedOutput traced(synth);
    bench::DeferredOutput deferred(traced);
    OpenWhenExposed opener(deferred);
    midi::OutputPort& output = defer ? static_cast<midi::OutputPort&>(deferred) : traced;
    try {
        FrmMain frmMain(output);
        if (defer)
            frmMain.windowHandle()->installEventFilter(&opener);
        stage("window-built");
        QObject::connect(&frmMain, &FrmMain::endRequested, &app, [] { QCoreApplication::exit(0); });
        ProcessGuard guard([&frmMain] {
            frmMain.close();
            QCoreApplication::exit(0);
        });
        frmMain.Show();
        stage("shown");
        return app.exec();
    } catch (const std::exception& error) {
        reportRuntimeError(error.what());
        return kRuntimeErrorExitCode;
    }
}
