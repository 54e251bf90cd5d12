#include "support/servicerunner.h"

#include "support/httpcall.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

QString ServiceRunner::demoConfig()
{
    QFile file(LEXORN_SOURCE_DIR "/service/demo.ini");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

ServiceRunner::ServiceRunner(const QString &config)
{
    if (QFile file(configPath()); file.open(QIODevice::WriteOnly))
        file.write(config.toUtf8());
    m_process.setReadChannel(QProcess::StandardError); // where it says it listens
}

bool ServiceRunner::start(QString *error)
{
    static const QRegularExpression listening("listening on \\S+ port (\\d+) as ");
    m_process.start(LEXORN_SERVICE_BIN, {"--config", configPath(), "--port", "0"});
    QRegularExpressionMatch match;
    while (!(match = listening.match(QString::fromUtf8(log()))).hasMatch() &&
           m_process.waitForReadyRead(30000))
        continue;
    m_port = quint16(match.captured(1).toUInt());
    if (error)
        *error = QString::fromUtf8(log());
    return m_port != 0;
}

QByteArray ServiceRunner::settingsAnswer(const QString &user, const QString &password) const
{
    return httpGet(url(
        QString("/lexorn/settings.php?version=1.0.1&username=%1&password=%2").arg(user, password)));
}

int ServiceRunner::run(const QStringList &arguments, const QByteArray &input,
                       QByteArray *output) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(LEXORN_SERVICE_BIN, QStringList{"--config", configPath()} + arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool ended = process.waitForFinished(60000);
    if (output)
        *output = process.readAll();
    return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
