// plinkora-bench-player: the program as app/main.cpp builds it, but with the
// synthesizer's audio period chosen on the command line, so the benchmarks can
// measure key-to-sound per period size through the real window and input path.
// The program itself takes no options; this launcher exists only for bench/.
//   plinkora-bench-player [--period FRAMES] [--rt-mainloop] [--trace-start]
// --trace-start prints the wall-clock time of each stage of the start-up
// ("STAGE SECONDS" lines on stdout), to split the launch time.
// --defer-synth is a prototype: the synthesizer opens once the window is
// exposed rather than before it is shown (see DeferredOutput.h).
// --rt-mainloop is a prototype: libpulse's simple API hands every period to
// the server through a mainloop thread of its own ("threaded-ml") at normal
// priority, even when FluidSynth's audio thread is real-time; this gives that
// thread the audio thread's real-time priority (where permitted) to see
// whether it is what drops out under load.

#include "Application.h"
#include "Clock.h"
#include "DeferredOutput.h"
#include "FluidSynthOutput.h"
#include "FrmMain.h"
#include "ProcessGuard.h"
#include "QtMessages.h"
#include "RuntimeError.h"

#include <QEvent>
#include <QWindow>

#include <sched.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kMinPeriod = 16;
constexpr int kMaxPeriod = 8192;
constexpr int kAudioThreadPriority = 60;  // FluidSynth's audio.realtime-prio default

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

// Gives every thread of this process named `name` real-time priority.
void makeRealTime(const std::string& name)
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string threadName;
        std::getline(comm, threadName);
        if (threadName != name)
            continue;
        const sched_param param{kAudioThreadPriority};
        if (sched_setscheduler(std::stoi(task.path().filename().string()), SCHED_FIFO, &param) != 0)
            std::fprintf(stderr, "plinkora-bench-player: %s stays at normal priority: %s\n", name.c_str(),
                         std::strerror(errno));
    }
}

int periodFrom(int argc, char** argv)
{
    int period = midi::SynthConfig{}.periodSize;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--period") == 0)
            period = std::atoi(argv[i + 1]);
    if (period < kMinPeriod || period > kMaxPeriod) {
        std::fprintf(stderr, "plinkora-bench-player: --period must be %d..%d\n", kMinPeriod, kMaxPeriod);
        std::exit(2);
    }
    return period;
}

}  // namespace

int main(int argc, char* argv[])
{
    tracing = hasFlag(argc, argv, "--trace-start");
    stage("main");
    const int period = periodFrom(argc, argv);
    installQtMessageHandler();
    Application app(argc, argv);
    stage("application");
    midi::FluidSynthOutput synth([period] {
        midi::SynthConfig config = midi::FluidSynthOutput::defaultConfig();
        config.periodSize = period;
        return config;
    });
    TracedOutput traced(synth);
    bench::DeferredOutput deferred(traced);
    OpenWhenExposed opener(deferred);
    const bool defer = hasFlag(argc, argv, "--defer-synth");
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
        if (hasFlag(argc, argv, "--rt-mainloop"))
            makeRealTime("threaded-ml");
        return app.exec();
    } catch (const std::exception& error) {
        reportRuntimeError(error.what());
        return kRuntimeErrorExitCode;
    }
}
