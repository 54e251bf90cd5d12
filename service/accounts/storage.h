#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>

struct Account
{
    qint64 id = 0;
    QString email;
    QByteArray passwordHash;
    qint32 level = 0;
    qint16 cap = 0;
    bool disabled = false;
};

struct BannerReport
{
    QString userId;
    QString sourceLanguage;
    QString targetLanguage;
    QString text;
    QDateTime received;
};

// Accounts and banner reports in SQLite (a file path) or PostgreSQL (a postgresql:// address),
// through the same Qt SQL code. Used from one thread only.
class Storage
{
    Q_DISABLE_COPY(Storage)

public:
    static constexpr int SchemaVersion = 1;

    Storage();
    ~Storage();

    // Opens the database and creates or checks the schema.
    bool open(const QString &database, QString &error);
    QString lastError() const { return m_error; }

    // Accounts are keyed by the address in lower case.
    static QString accountKey(const QString &email);
    // The database's address without any password, for messages.
    static QString describe(const QString &database);

    // nullopt with an empty lastError(): no such account.
    std::optional<Account> findAccount(const QString &email);

    enum class Added { Yes, Taken, Failed };
    Added addAccount(const QString &email, const QByteArray &passwordHash, qint32 level, qint16 cap,
                     qint64 *id = nullptr);
    // False with an empty lastError(): no such account.
    bool setDisabled(const QString &email, bool disabled);

    // The largest text any account may send, and at least fallback: a cap of 0 or less (no limit)
    // counts as the most a cap can say.
    int largestCap(qint16 fallback);

    bool addReport(const BannerReport &report);
    std::optional<QList<BannerReport>> reports();

private:
    bool openSqlite(const QString &path);
    bool openPostgres(const QString &address);
    bool createSchema();
    bool configureSession();
    // Runs work, and once more on a fresh connection when a PostgreSQL server dropped the old one;
    // a connection that could not be opened last time is opened first.
    bool attempt(const std::function<bool(QSqlDatabase &)> &work);
    bool fail(const QString &what, const QSqlError &error);

    QString m_name;
    QSqlDatabase m_db;
    bool m_postgres = false;
    QString m_error;
};
