#include "QtMessages.h"

#include "Console.h"

#include <QString>
#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex warningsMutex;
QString lastWarning;
QString unreachableDisplay;  // set once the windowing system's client failed to connect
bool displayUnreachable = false;

QString firstLine(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.left(trimmed.indexOf(QLatin1Char('\n'))).trimmed();
}

// Qt's X11 client says "could not connect to display NAME" (NAME empty when
// DISPLAY is not set) and then gives up on its plugin; what Qt warns after
// that (since 6.5 a hint about libxcb-cursor0, whether it is installed or
// not) is a consequence, not the cause.
bool isDisplayFailure(const char* category, const QString& message, QString* display)
{
    static const QString phrase = QStringLiteral("could not connect to display");
    if (!category || std::strncmp(category, "qt.qpa.", 7) != 0 || !message.startsWith(phrase))
        return false;
    *display = message.mid(phrase.size()).trimmed();
    return true;
}

QString reasonToGiveUp(const QString& fatal)
{
    if (displayUnreachable)
        return unreachableDisplay.isEmpty()
                   ? QStringLiteral("no display could be reached (DISPLAY is not set)")
                   : QStringLiteral("no display could be reached at %1").arg(unreachableDisplay);
    // Otherwise the warning before the fatal message names the cause; the
    // fatal one only says that Qt gave up.
    return firstLine(lastWarning.isEmpty() ? fatal : lastWarning);
}

void handleQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        std::lock_guard lock(warningsMutex);
        lastWarning = message;
        if (!displayUnreachable)
            displayUnreachable = isDisplayFailure(context.category, message, &unreachableDisplay);
        return;
    }
    if (type != QtFatalMsg)
        return;
    QString reason;
    {
        std::lock_guard lock(warningsMutex);
        reason = reasonToGiveUp(message);
    }
    console::write(stderr, QStringLiteral("plinkora: cannot start: %1\n").arg(reason));
    std::_Exit(kCannotStartExitCode);
}

}  // namespace

void installQtMessageHandler() { qInstallMessageHandler(&handleQtMessage); }
