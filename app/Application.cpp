#include "Application.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace {

Application::ErrorPresenter& presenter()
{
    static Application::ErrorPresenter instance = [](const QString& text) {
        QMessageBox::critical(nullptr, QStringLiteral("Plinkora"), text);
    };
    return instance;
}

}  // namespace

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
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        runtimeError(error.what());
    } catch (...) {
        runtimeError("Unknown error");
    }
    return false;
}

void Application::runtimeError(const std::string& description)
{
    // The first error ends the program; what follows from it on the way out
    // is not news.
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "plinkora: run-time error: %s\n", description.c_str());
    std::fflush(stderr);
    presenter()(QStringLiteral("Run-time error:\n\n%1").arg(QString::fromStdString(description)));
    QCoreApplication::exit(kRuntimeErrorExitCode);
}

void Application::setErrorPresenter(ErrorPresenter newPresenter) { presenter() = std::move(newPresenter); }
