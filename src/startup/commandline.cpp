#include "startup/commandline.h"

#include "platform/identity.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// Qt's own options for every GUI program, left for it to read.
constexpr const char *QtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",     "display",
    "style",    "qwindowgeometry",    "qwindowtitle",  "qwindowicon"};
constexpr const char *QtFlags[] = {"reverse", "nograb", "dograb", "sync"};

} // namespace

std::optional<int> answerCommandLine(int argc, char *argv[])
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
    parser.addOption(QCommandLineOption(
        QStringLiteral("show"),
        QStringLiteral("Shows the translation window of the Lexorn that runs, or starts one.")));
    for (const char *name : QtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : QtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    const bool parsed = parser.parse(arguments) && parser.positionalArguments().isEmpty();
    if (parsed && !parser.isSet(help) && !parser.isSet(version))
        return std::nullopt;

    QCoreApplication core(argc, argv); // the help text needs one; it asks for no display
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
