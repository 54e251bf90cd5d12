#include "accounts/storage.h"
#include "admin.h"
#include "config/config.h"
#include "config/installedpairs.h"
#include "config/languagenames.h"
#include "engine/enginepool.h"
#include "server.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lexorn-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LEXORN_VERSION));
    // Qt's own request tracing would print whole addresses, and with them passwords.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver*=false"));
    qSetMessagePattern(QStringLiteral("lexorn-service: %{message}"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Lexorn translation service."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("config"), QStringLiteral("The configuration file."),
         QStringLiteral("file")},
        {QStringLiteral("listen"), QStringLiteral("Listen on this address instead."),
         QStringLiteral("address")},
        {QStringLiteral("port"), QStringLiteral("Listen on this port instead (0: any free one)."),
         QStringLiteral("port")},
        {QStringLiteral("port-file"),
         QStringLiteral("Once listening, write the port to this file (replaced whole)."),
         QStringLiteral("file")},
        {QStringLiteral("add-user"),
         QStringLiteral("Add an account; the password is read from standard input."),
         QStringLiteral("email")},
        {QStringLiteral("level"), QStringLiteral("With --add-user: the account's level."),
         QStringLiteral("n")},
        {QStringLiteral("cap"), QStringLiteral("With --add-user: the account's cap."),
         QStringLiteral("n")},
        {QStringLiteral("disable-user"), QStringLiteral("Disable an account."),
         QStringLiteral("email")},
        {QStringLiteral("enable-user"), QStringLiteral("Enable a disabled account."),
         QStringLiteral("email")},
        {QStringLiteral("list-reports"), QStringLiteral("Print the banner reports received.")},
    });
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText();
        qWarning().noquote() << (error.isEmpty()
                                     ? QStringLiteral("it takes no arguments but options")
                                     : error);
        std::fputs(qPrintable(QLatin1Char('\n') + parser.helpText()), stderr);
        return int(ExitCode::BadUsage);
    }
    if (parser.isSet(help))
        parser.showHelp(int(ExitCode::Success));
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.isSet(QStringLiteral("config"))) {
        qWarning().noquote() << QStringLiteral("--config FILE is required (see --help)");
        return int(ExitCode::BadUsage);
    }

    ServiceConfig config;
    QString error;
    if (!loadConfig(parser.value(QStringLiteral("config")), config, error)) {
        qWarning().noquote() << error;
        return int(ExitCode::BadUsage);
    }
    if (parser.isSet(QStringLiteral("listen")) &&
        !config.listenAddress.setAddress(parser.value(QStringLiteral("listen")))) {
        qWarning().noquote() << QStringLiteral("--listen takes an IP address");
        return int(ExitCode::BadUsage);
    }
    if (parser.isSet(QStringLiteral("port"))) {
        bool ok = false;
        const uint port = parser.value(QStringLiteral("port")).toUInt(&ok);
        if (!ok || port > 65535) {
            qWarning().noquote() << QStringLiteral("--port takes a number from 0 to 65535");
            return int(ExitCode::BadUsage);
        }
        config.port = quint16(port);
    }

    Storage storage;
    if (!storage.open(config.database, error)) {
        qWarning().noquote() << error;
        return int(ExitCode::Failure);
    }
    if (parser.isSet(QStringLiteral("add-user")))
        return int(addUser(config, storage, parser.value(QStringLiteral("add-user")), parser));
    if (parser.isSet(QStringLiteral("disable-user")))
        return int(setDisabled(storage, parser.value(QStringLiteral("disable-user")), true));
    if (parser.isSet(QStringLiteral("enable-user")))
        return int(setDisabled(storage, parser.value(QStringLiteral("enable-user")), false));
    if (parser.isSet(QStringLiteral("list-reports")))
        return int(listReports(storage));

    if (!ensureDemoAccount(config, storage)) {
        qWarning().noquote() << storage.lastError();
        return int(ExitCode::Failure);
    }

    if (config.maxText < 0)
        config.maxText = storage.largestCap(config.defaultCap);
    PoolLimits limits;
    limits.timeoutSeconds = config.apertiumTimeoutSeconds;
    limits.perClient = config.queuePerClient;
    limits.perMode = config.maxEnginesPerPair > 0 ? config.maxEnginesPerPair
                                                  : qMax(1, QThread::idealThreadCount());
    limits.engines = config.maxEngines;
    limits.memoryBytes = qint64(config.maxEngineMemoryMiB) * 1024 * 1024;
    limits.idleSeconds = config.idleSeconds;
    limits.restartAfter = config.restartAfter;
    EnginePool engine(config.apertiumProgram, limits);
    const QStringList modes = engine.installedModes();
    addInstalledPairs(config, modes, LanguageNames());
    for (const ApertiumPair &pair : std::as_const(config.apertiumPairs)) {
        if (!modes.contains(pair.mode))
            qWarning().noquote()
                << QStringLiteral(
                       "Apertium mode %1 is not installed or incomplete: %2 -> %3 is not "
                       "offered")
                       .arg(pair.mode, pair.source, pair.target);
    }
    // Loading a pair's dictionaries takes about a second: done now for these, on first use for
    // the rest.
    QStringList warm;
    for (const QString &mode : std::as_const(config.warmModes)) {
        if (modes.contains(mode))
            warm.append(mode);
        else
            qWarning().noquote()
                << QStringLiteral("Apertium mode %1 is not installed: it is not warmed").arg(mode);
    }
    engine.warmUp(warm);

    Server server(config, storage, &engine, modes);
    if (!server.listen(error)) {
        qWarning().noquote() << error;
        return int(ExitCode::Failure);
    }
    // Caught before anyone learns where it listens. A stop lets the requests under way finish, a
    // translation's whole time-out at most.
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::received, &server, [&server, &config](int signal) {
        qInfo().noquote()
            << QStringLiteral("stopping on signal %1: no new connections, the requests under way "
                              "finish")
                   .arg(signal);
        server.drain((config.apertiumTimeoutSeconds + 5) * 1000);
    });
    QObject::connect(&server, &Server::drained, &app, &QCoreApplication::quit);
    // A launcher that asked for any free port learns which one here, never from half a file.
    if (parser.isSet(QStringLiteral("port-file"))) {
        QSaveFile file(parser.value(QStringLiteral("port-file")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QByteArray::number(server.port()) + '\n') < 0 || !file.commit()) {
            qWarning().noquote() << file.fileName() + QStringLiteral(": ") + file.errorString();
            return int(ExitCode::Failure);
        }
    }
    qInfo().noquote() << QStringLiteral("listening on %1 port %2 as %3 (database %4)")
                             .arg(config.listenAddress.toString(), QString::number(server.port()),
                                  server.base(), Storage::describe(config.database));
    const int status = app.exec();
    server.reportQueue().close();
    return status;
}
