#include "startup/commandline.h"

#include "platform/identity.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// What QApplication and its X11 plugin read, left for Qt: a session manager restarts Lexorn with
// "-session ID", a user may pick a style or a display.
constexpr char QtOptionsWithValue[] =
    "platform platformpluginpath platformtheme plugin display name visual style stylesheet session "
    "geometry title icon qwindowgeometry qwindowtitle qwindowicon qmljsdebugger";
constexpr char QtFlags[] = "reverse nograb dograb sync widgetcount testability";

} // namespace

std::optional<int> answerCommandLine(int argc, char *argv[], QByteArray &request)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    // As Qt reads its own: "-platform xcb" is one option, not eight letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Translates short texts from the notification area; Super+T opens it."));
    // Not addHelpOption(): its --help-all would list Qt's options, which only a GUI application
    // can read.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // A plain start does the same; the option names it for key bindings and the desktop entry.
    const QCommandLineOption show(
        QStringLiteral("show"),
        QStringLiteral("Shows the translation window of the Lexorn that runs, or starts one."));
    parser.addOption(show);
    const QCommandLineOption translateSelection(
        QStringLiteral("selection"),
        QStringLiteral("Translates the selected text in the Lexorn that runs, or starts one."));
    parser.addOption(translateSelection);
    for (const QString &name : QString::fromLatin1(QtOptionsWithValue).split(QLatin1Char(' '))) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : QString::fromLatin1(QtFlags).split(QLatin1Char(' '))) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    const bool parsed = parser.parse(arguments) && parser.positionalArguments().isEmpty();
    // A session manager restores the Lexorn of a session; when that one runs, nothing is asked.
    if (parsed && parser.isSet(translateSelection))
        request = "selection";
    else if (parsed && (parser.isSet(show) || !parser.isSet(QStringLiteral("session"))))
        request = "show";
    else
        request.clear();
    if (parsed && !parser.isSet(help) && !parser.isSet(version))
        return std::nullopt;

    // The help text needs an application; this one asks for no display.
    std::optional<QCoreApplication> core;
    if (!QCoreApplication::instance())
        core.emplace(argc, argv);
    if (parsed && parser.isSet(version)) {
        std::printf("lexorn %s\n", qPrintable(platform::VersionNumber()));
        return 0;
    }
    if (parsed) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    const QString error =
        parser.errorText().isEmpty()
            ? QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().value(0))
            : parser.errorText();
    std::fprintf(stderr, "lexorn: %s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
    return 2;
}
