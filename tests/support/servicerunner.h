#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// The real lexorn-service, started on a free loopback port with a configuration of its own in a
// temporary folder (its SQLite database lands there too), and stopped when this goes away.
class ServiceRunner
{
public:
    // The shipped demonstration configuration (service/demo.ini).
    static QString demoConfig();
    // The configuration with its "database =" line replaced.
    static QString withDatabase(const QString &config, const QString &database);
    // The configuration with one line added to the end of a section.
    static QString withLine(const QString &config, const QString &section, const QString &line);
    // LEXORN_TEST_PG, the PostgreSQL server the tests may use; empty when none.
    static QString testPostgres();

    explicit ServiceRunner(const QString &config = demoConfig());
    ~ServiceRunner();
    ServiceRunner(const ServiceRunner &) = delete;
    ServiceRunner &operator=(const ServiceRunner &) = delete;

    // Starts the service and waits until it listens. False (with the reason) when it did not.
    bool start(QString *error = nullptr);
    void stop();

    quint16 port() const { return m_port; }
    QByteArray hostAndPort() const; // "127.0.0.1:PORT", the form LEXORN_SERVICE_HOST takes
    QUrl url(const QString &pathAndQuery) const;
    QString directory() const { return m_dir.path(); }
    // The answer to a sign-in whose query is built as the program builds it, values unescaped.
    QByteArray settingsAnswer(const QString &user, const QString &password) const;

    // Everything the service wrote to standard error so far: its log.
    QByteArray log();

    // Runs lexorn-service --config with more arguments (an administrative command) and waits.
    int run(const QStringList &arguments, const QByteArray &input = {},
            QByteArray *output = nullptr, QByteArray *errors = nullptr) const;

private:
    QString configPath() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
    quint16 m_port = 0;
};
