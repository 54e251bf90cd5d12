#pragma once

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

// Remembers recent successful sign-ins so that a client starting again does not pay for a full key
// derivation each time. Holds keyed digests only, never a password.
class CredentialCache
{
public:
    explicit CredentialCache(int lifetimeSeconds = 600);

    // A keyed digest of one set of credentials; equal credentials give equal keys.
    QByteArray key(const QString &email, const QString &password, const QByteArray &stored) const;
    bool contains(const QByteArray &key);
    void insert(const QByteArray &key);

private:
    QByteArray m_secret;
    int m_lifetimeSeconds;
    QHash<QByteArray, QDeadlineTimer> m_entries;
};
