#include "Application.h"

#include "ui/RuntimeError.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Plinkora"));
    setApplicationVersion(QStringLiteral(PLINKORA_VERSION));
    setOrganizationDomain(QStringLiteral("plinkora.org"));
    setDesktopFileName(QStringLiteral("org.plinkora.Plinkora"));
    setQuitOnLastWindowClosed(true);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
