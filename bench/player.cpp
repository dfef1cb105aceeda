// plinkora-bench-player: the program as app/main.cpp builds it, but with the
// synthesizer's audio period chosen on the command line, so the benchmarks can
// measure key-to-sound per period size through the real window and input path.
// The program itself takes no options; this launcher exists only for bench/.
//   plinkora-bench-player [--period FRAMES]

#include "Application.h"
#include "FluidSynthOutput.h"
#include "FrmMain.h"
#include "ProcessGuard.h"
#include "QtMessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

constexpr int kMinPeriod = 16;
constexpr int kMaxPeriod = 8192;

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
    const int period = periodFrom(argc, argv);
    installQtMessageHandler();
    Application app(argc, argv);
    midi::FluidSynthOutput output([period] {
        midi::SynthConfig config = midi::FluidSynthOutput::defaultConfig();
        config.periodSize = period;
        return config;
    });
    try {
        FrmMain frmMain(output);
        QObject::connect(&frmMain, &FrmMain::endRequested, &app, [] { QCoreApplication::exit(0); });
        ProcessGuard guard([&frmMain] {
            frmMain.close();
            QCoreApplication::exit(0);
        });
        frmMain.Show();
        return app.exec();
    } catch (const std::exception& error) {
        Application::runtimeError(error.what());
        return kRuntimeErrorExitCode;
    }
}
