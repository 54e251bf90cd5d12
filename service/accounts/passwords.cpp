#include "accounts/passwords.h"

#include <QList>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#ifdef LEXORN_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

const QByteArray Scheme = QByteArrayLiteral("pbkdf2-sha256");
constexpr int SaltBytes = 16;
constexpr int KeyBytes = 32;
constexpr int CacheLimit = 10000;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
#ifdef LEXORN_OPENSSL
    const QByteArray secret = password.toUtf8();
    QByteArray key(KeyBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(secret.constData(), int(secret.size()),
                          reinterpret_cast<const unsigned char *>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), KeyBytes,
                          reinterpret_cast<unsigned char *>(key.data())) == 1)
        return key;
#endif
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, KeyBytes);
}

bool equalInConstantTime(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

} // namespace

QByteArray hashPassword(const QString &password, int iterations)
{
    const QByteArray salt = randomBytes(SaltBytes);
    return Scheme + '$' + QByteArray::number(iterations) + '$' + salt.toBase64() + '$' +
           derive(password, salt, iterations).toBase64();
}

bool verifyPassword(const QString &password, const QByteArray &stored)
{
    const QList<QByteArray> parts = stored.split('$');
    if (parts.size() != 4 || parts.at(0) != Scheme)
        return false;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    if (!ok || iterations < 1)
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts.at(2));
    const QByteArray key = QByteArray::fromBase64(parts.at(3));
    return equalInConstantTime(derive(password, salt, iterations), key);
}

QByteArray decoyHash(int iterations)
{
    return Scheme + '$' + QByteArray::number(iterations) + '$' + randomBytes(SaltBytes).toBase64() +
           '$' + QByteArray(KeyBytes, '\0').toBase64();
}

CredentialCache::CredentialCache(int lifetimeSeconds)
    : m_secret(randomBytes(32)), m_lifetimeSeconds(lifetimeSeconds)
{}

QByteArray CredentialCache::key(const QString &email, const QString &password) const
{
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, m_secret);
    code.addData(Storage::accountKey(email).toUtf8());
    code.addData("\0", 1);
    code.addData(password.toUtf8());
    return code.result();
}

std::optional<Account> CredentialCache::find(const QByteArray &key)
{
    const auto found = m_entries.constFind(key);
    if (found == m_entries.cend())
        return std::nullopt;
    if (found->expiry.hasExpired()) {
        m_entries.erase(found);
        return std::nullopt;
    }
    return found->account;
}

void CredentialCache::insert(const QByteArray &key, const Account &account)
{
    if (m_entries.size() >= CacheLimit && !m_entries.contains(key))
        m_entries.clear();
    m_entries.insert(key, {QDeadlineTimer(std::chrono::seconds(m_lifetimeSeconds)), account});
}
