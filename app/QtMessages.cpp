#include "QtMessages.h"

#include "Console.h"

#include <QString>
#include <QtGlobal>

#include <cstdlib>
#include <mutex>

namespace {

std::mutex lastWarningMutex;
QString lastWarning;

QString firstLine(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.left(trimmed.indexOf(QLatin1Char('\n'))).trimmed();
}

void handleQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        std::lock_guard lock(lastWarningMutex);
        lastWarning = message;
        return;
    }
    if (type != QtFatalMsg)
        return;
    QString reason;
    {
        std::lock_guard lock(lastWarningMutex);
        // The warning before the fatal message names the cause ("could not
        // connect to display"); the fatal one only says that Qt gave up.
        reason = firstLine(lastWarning.isEmpty() ? message : lastWarning);
    }
    console::write(stderr, QStringLiteral("plinkora: cannot start: %1\n").arg(reason));
    std::_Exit(kCannotStartExitCode);
}

}  // namespace

void installQtMessageHandler() { qInstallMessageHandler(&handleQtMessage); }
