// Plinkora: a three-octave piano played with the mouse or the computer keyboard.

#include "Application.h"
#include "FrmMain.h"

#include <exception>

int main(int argc, char* argv[])
{
    Application app(argc, argv);
    try {
        FrmMain frmMain;
        QObject::connect(&frmMain, &FrmMain::endRequested, &app, [] { QCoreApplication::exit(0); });
        frmMain.Show();
        return app.exec();
    } catch (const std::exception& error) {
        Application::runtimeError(error.what());
        return kRuntimeErrorExitCode;
    }
}
