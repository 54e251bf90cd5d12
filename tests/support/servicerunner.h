#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// The real lexorn-service on a free loopback port, with its configuration (and an SQLite database)
// in a temporary folder of its own; stopped when this goes away.
class ServiceRunner
{
public:
    static QString demoConfig(); // service/demo.ini
    // The configuration with a section of one line added; a later key wins over an earlier one.
    static QString withLine(const QString &config, const QString &section, const QString &line)
    {
        return config + "\n[" + section + "]\n" + line + '\n';
    }

    explicit ServiceRunner(const QString &config = demoConfig());
    ~ServiceRunner() { stop(); }

    // Waits until the service listens; false (the reason in *error and the log) when it does not.
    bool start(QString *error = nullptr);
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    quint16 port() const { return m_port; }
    QByteArray hostAndPort() const { return "127.0.0.1:" + QByteArray::number(m_port); }
    QUrl url(const QString &path) const { return QUrl("http://" + hostAndPort() + path); }
    QString directory() const { return m_dir.path(); }
    // The answer to a sign-in whose query is built as the program builds it, values unescaped.
    QByteArray settingsAnswer(const QString &user, const QString &password) const;
    QByteArray log() { return m_log += m_process.readAllStandardError(); } // all it wrote so far

    // Runs lexorn-service --config with more arguments (an administrative command) and waits;
    // *output gets what it wrote to standard output and error.
    int run(const QStringList &arguments, const QByteArray &input = {},
            QByteArray *output = nullptr) const;

private:
    QString configPath() const { return m_dir.filePath("service.ini"); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
    quint16 m_port = 0;
};
