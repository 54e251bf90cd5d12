#include "support/servicerunner.h"

#include "support/httpcall.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

QString ServiceRunner::demoConfig()
{
    QFile file(QStringLiteral(LEXORN_SOURCE_DIR "/service/demo.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString ServiceRunner::withDatabase(const QString &config, const QString &database)
{
    QString changed = config;
    static const QRegularExpression line(QStringLiteral("(?m)^database\\s*=.*$"));
    changed.replace(line, QStringLiteral("database = ") + database);
    return changed;
}

QString ServiceRunner::withLine(const QString &config, const QString &section, const QString &line)
{
    QStringList lines = config.split(QLatin1Char('\n'));
    const qsizetype header = lines.indexOf(QLatin1Char('[') + section + QLatin1Char(']'));
    if (header < 0)
        return config + QStringLiteral("\n[%1]\n%2\n").arg(section, line);
    qsizetype end = header + 1;
    while (end < lines.size() && !lines.at(end).startsWith(QLatin1Char('[')))
        ++end;
    lines.insert(end, line);
    return lines.join(QLatin1Char('\n'));
}

QString ServiceRunner::testPostgres()
{
    return qEnvironmentVariable("LEXORN_TEST_PG");
}

ServiceRunner::ServiceRunner(const QString &config)
{
    QFile file(configPath());
    if (file.open(QIODevice::WriteOnly))
        file.write(config.toUtf8());
    m_process.setProgram(QStringLiteral(LEXORN_SERVICE_BIN));
    m_process.setWorkingDirectory(m_dir.path());
}

ServiceRunner::~ServiceRunner()
{
    stop();
}

QString ServiceRunner::configPath() const
{
    return m_dir.filePath(QStringLiteral("service.ini"));
}

bool ServiceRunner::start(QString *error)
{
    m_process.setArguments(
        {QStringLiteral("--config"), configPath(), QStringLiteral("--port"), QStringLiteral("0")});
    m_process.start();
    static const QRegularExpression listening(QStringLiteral("listening on \\S+ port (\\d+)"));
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(log()));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return true;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        m_process.waitForReadyRead(100);
    }
    if (error)
        *error = QStringLiteral("lexorn-service did not start: ") + QString::fromUtf8(log());
    return false;
}

void ServiceRunner::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    log();
}

QByteArray ServiceRunner::hostAndPort() const
{
    return "127.0.0.1:" + QByteArray::number(m_port);
}

QUrl ServiceRunner::url(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("http://") + QString::fromLatin1(hostAndPort()) + pathAndQuery,
                QUrl::TolerantMode);
}

QByteArray ServiceRunner::settingsAnswer(const QString &user, const QString &password) const
{
    return httpGet(url(QStringLiteral("/lexorn/settings.php?version=1.0.1&username=%1&password=%2")
                           .arg(user, password)))
        .body;
}

QByteArray ServiceRunner::log()
{
    m_log += m_process.readAllStandardError();
    return m_log;
}

int ServiceRunner::run(const QStringList &arguments, const QByteArray &input, QByteArray *output,
                       QByteArray *errors) const
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(LEXORN_SERVICE_BIN),
                  QStringList{QStringLiteral("--config"), configPath()} + arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
