#pragma once

#include "accounts/storage.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QString>

// Stored form: "pbkdf2-sha256$<iterations>$<salt, base64>$<key, base64>". The iteration count
// travels with each hash, so raising it later leaves older accounts working.
QByteArray hashPassword(const QString &password, int iterations);
bool verifyPassword(const QString &password, const QByteArray &stored);

// A well-formed hash that no password matches, to spend the same time on unknown accounts.
QByteArray decoyHash(int iterations);

// Remembers recent successful sign-ins, with the account as it was then, so that a client starting
// again does not pay for a full key derivation each time, and is still answered while the database
// is away. Keyed by digests of the credentials, never a password.
class CredentialCache
{
public:
    explicit CredentialCache(int lifetimeSeconds = 600);

    // A keyed digest of one set of credentials; equal credentials give equal keys.
    QByteArray key(const QString &email, const QString &password) const;
    // The account as of the last successful sign-in with these credentials.
    std::optional<Account> find(const QByteArray &key);
    void insert(const QByteArray &key, const Account &account);

private:
    struct Entry
    {
        QDeadlineTimer expiry;
        Account account;
    };

    QByteArray m_secret;
    int m_lifetimeSeconds;
    QHash<QByteArray, Entry> m_entries;
};
