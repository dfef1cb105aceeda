// Plinkora: a three-octave piano played with the mouse or the computer keyboard.

#include "Application.h"
#include "CommandLine.h"
#include "ui/FrmMain.h"
#include "midi/MidiOut.h"
#include "ProcessGuard.h"
#include "QtMessages.h"
#include "ui/RuntimeError.h"

#include <exception>
#include <optional>

int main(int argc, char* argv[])
{
    // Before anything else: a signal during start-up then ends the program in
    // order once the window is there, instead of killing it half-built.
    ProcessGuard::installSignalHandlers();
    // --help, --version and --list-midi-outputs need neither a sound nor a
    // display; --midi-out chooses device 0 here, before anything opens it.
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;
    // The synthesizer loads its SoundFont while the toolkit starts and the
    // window is built; loading the window still opens it, and waits for it.
    // When device 0 is a port, nothing is loaded. With the command line's
    // choice of device 0, the calls that pass the window's layer: they come
    // before there is a toolkit, let alone a window.
    midi::prepareOutput();
    // So is the system's font configuration, which the window's font needs.
    FrmMain::preload();
    // However main ends, even without a window, device 0's threads end here,
    // in order, not in static destruction after main.
    const struct OutputRelease {
        ~OutputRelease() { midi::releaseOutput(); }
    } outputRelease;
    installQtMessageHandler();
    Application app(argc, argv);
    try {
        FrmMain frmMain;
        QObject::connect(&frmMain, &FrmMain::endRequested, &app, [] { QCoreApplication::exit(0); });
        // Whatever way the window goes, the process must not outlive it for long.
        QObject::connect(&frmMain, &FrmMain::unloading, &app, [] { ProcessGuard::armExitDeadline(); });
        ProcessGuard guard([&frmMain] {
            frmMain.close();
            QCoreApplication::exit(0);
        });
        frmMain.Show();
        const int status = app.exec();
        frmMain.Unload();  // if the loop ended another way than through the window
        return status;
    } catch (const std::exception& error) {
        reportRuntimeError(error.what());
        return kRuntimeErrorExitCode;
    }
}
