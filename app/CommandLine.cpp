#include "CommandLine.h"

#include "CommandLinePlatform.h"
#include "Console.h"
#include "midi/MidiOut.h"

#include <QCommandLineParser>
#include <QStringList>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

struct QtOption {
    const char* name;
    bool takesValue;
};

// What QApplication and its X11 platform plugin take off the command line
// themselves (Qt 6). A desktop session restores the program with -session.
constexpr std::array kQtOptions{
    QtOption{"platform", true},    QtOption{"platformpluginpath", true}, QtOption{"platformtheme", true},
    QtOption{"plugin", true},      QtOption{"qwindowgeometry", true},    QtOption{"geometry", true},
    QtOption{"qwindowtitle", true}, QtOption{"title", true},             QtOption{"qwindowicon", true},
    QtOption{"icon", true},        QtOption{"session", true},            QtOption{"reverse", false},
    QtOption{"style", true},       QtOption{"stylesheet", true},         QtOption{"widgetcount", false},
    QtOption{"display", true},     QtOption{"name", true},               QtOption{"visual", true},
    QtOption{"nograb", false},     QtOption{"dograb", false},
};

const QCommandLineOption& helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Show this help and exit."));
    return option;
}

const QCommandLineOption& versionOption()
{
    static const QCommandLineOption option({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    return option;
}

const QCommandLineOption& midiOutOption()
{
    static const QCommandLineOption option(QStringLiteral("midi-out"),
                                           QString::fromUtf8(commandline::kPlatformText.midiOut),
                                           QString::fromUtf8(commandline::kPlatformText.midiOutValue));
    return option;
}

const QCommandLineOption& listMidiOutputsOption()
{
    static const QCommandLineOption option(QStringLiteral("list-midi-outputs"),
                                           QString::fromUtf8(commandline::kPlatformText.listMidiOutputs));
    return option;
}

void addQtOptions(QCommandLineParser& parser)
{
    for (const QtOption& qt : kQtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name));
        if (qt.takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int print(std::FILE* stream, const QString& text, int status)
{
    if (console::write(stream, text))
        return status;
    // `plinkora --version > /dev/full` must not pass for a success.
    std::fprintf(stderr, "plinkora: cannot write: %s\n", std::strerror(errno));
    return 1;
}

// The unknown option as it was typed: "--bogus", not the parser's "bogus".
QString typedOption(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments.sliced(1)) {
        if (argument == QLatin1String("--"))
            break;
        const QString bare = argument.section(QLatin1Char('='), 0, 0);
        if (bare.startsWith(QLatin1Char('-')) && QStringView(bare).mid(bare.startsWith(QLatin1String("--")) ? 2 : 1) == name)
            return bare;
    }
    return name;
}

QString usageError(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option '%1' (try plinkora --help)").arg(typedOption(arguments, unknown.first()));
    // Qt's sentence ("Missing value after '-platform'.") in the style of our other lines.
    QString text = parser.errorText();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text.isEmpty() ? text : text.front().toLower() + text.mid(1);
}

// --list-midi-outputs, or the choice of --midi-out: asks the system, which
// may fail (on Windows, winmm.dll may be missing).
std::optional<int> answerMidiOutput(const QCommandLineParser& parser)
{
    try {
        if (parser.isSet(listMidiOutputsOption())) {
            QString text;
            for (const std::string& choice : midi::outputChoices())
                text += QString::fromStdString(choice) + QLatin1Char('\n');
            return print(stdout, text, 0);
        }
        const std::string refused = midi::chooseOutput(parser.value(midiOutOption()).toStdString());
        if (refused.empty())
            return std::nullopt;
        return print(stderr,
                     QStringLiteral("plinkora: %1%2\n")
                         .arg(QString::fromStdString(refused), QString::fromUtf8(commandline::kPlatformText.refusedOutput)),
                     kUsageExitCode);
    } catch (const std::exception& error) {
        return print(stderr, QStringLiteral("plinkora: cannot start: %1\n").arg(QString::fromLocal8Bit(error.what())), 1);
    }
}

void describe(QCommandLineParser& parser)
{
    // Qt's own options are single-dash words (-platform, -reverse).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("A three-octave piano for the computer keyboard and mouse.\n"
                       "Play the keys printed on the piano keys; F1-F12 choose the instrument, Esc quits.\n")
        + QString::fromUtf8(commandline::kPlatformText.closing));
    parser.addOption(helpOption());
    parser.addOption(versionOption());
    parser.addOption(midiOutOption());
    parser.addOption(listMidiOutputsOption());
    addQtOptions(parser);
}

}  // namespace

std::optional<int> answerCommandLine(int argc, char** argv)
{
    if (argc <= 1)
        return std::nullopt;

    QCommandLineParser parser;
    describe(parser);
    const QStringList arguments = argumentList(argc, argv);
    if (!parser.parse(arguments))
        return print(stderr, QStringLiteral("plinkora: %1\n").arg(usageError(parser, arguments)), kUsageExitCode);
    if (!parser.positionalArguments().isEmpty()) {
        const QString stray = parser.positionalArguments().first();
        return print(stderr, QStringLiteral("plinkora: unexpected argument '%1' (try plinkora --help)\n").arg(stray),
                     kUsageExitCode);
    }
    if (parser.isSet(helpOption())) {
        // Without an application object the parser cannot know the program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("plinkora"));
        return print(stdout, text, 0);
    }
    if (parser.isSet(versionOption()))
        return print(stdout, QStringLiteral("plinkora " PLINKORA_VERSION "\n"), 0);
    if (parser.isSet(listMidiOutputsOption()) || parser.isSet(midiOutOption()))
        return answerMidiOutput(parser);
    return std::nullopt;
}
