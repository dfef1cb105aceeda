#include "RuntimeError.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

RuntimeErrorPresenter& presenter()
{
    static RuntimeErrorPresenter instance = [](const QString& text) {
        QMessageBox::critical(nullptr, QStringLiteral("Plinkora"), text);
    };
    return instance;
}

}  // namespace

void reportRuntimeError(const std::string& description)
{
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "plinkora: run-time error: %s\n", description.c_str());
    std::fflush(stderr);
    try {
        presenter()(QStringLiteral("Run-time error:\n\n%1").arg(QString::fromStdString(description)));
    } catch (...) {
        // The error is on stderr already; a failing message box changes nothing.
    }
    QCoreApplication::exit(kRuntimeErrorExitCode);
}

void setRuntimeErrorPresenter(RuntimeErrorPresenter newPresenter) { presenter() = std::move(newPresenter); }
