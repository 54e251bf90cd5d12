#include "endpoints/settingsendpoint.h"

#include "accounts/passwordqueue.h"
#include "accounts/passwords.h"
#include "accounts/storage.h"
#include "accounts/throttle.h"
#include "http/requestdecoding.h"

#include <QHttpServerRequest>

namespace {

const QByteArray ContentType = QByteArrayLiteral("text/plain; charset=ISO-8859-1");

QByteArray errorAnswer(const char *kind, const char *message)
{
    return QByteArrayLiteral("error:\t") + kind + '\t' + message + '\n';
}

} // namespace

SettingsEndpoint::SettingsEndpoint(const ServiceConfig &config, Storage &storage,
                                   CredentialCache &cache, Throttle &throttle,
                                   PasswordQueue &passwords, QObject *context)
    : m_config(config), m_storage(storage), m_cache(cache), m_throttle(throttle),
      m_passwords(passwords), m_context(context)
{}

void SettingsEndpoint::setProviders(const QString &base, const QList<OfferedProvider> &providers)
{
    m_base = base;
    m_providers = providers;
}

QByteArray SettingsEndpoint::answer(const Account &account) const
{
    QStringList lines;
    auto line = [&lines](std::initializer_list<QString> fields) {
        lines.append(QStringList(fields).join(QLatin1Char('\t')));
    };
    line({QStringLiteral("valid:")});
    line({QStringLiteral("about:"), QStringLiteral("version"), QString::fromLatin1(DataVersion)});
    line({QStringLiteral("about:"), QStringLiteral("userid"), QString::number(account.id)});
    line({QStringLiteral("about:"), QStringLiteral("level"), QString::number(account.level)});
    line({QStringLiteral("about:"), QStringLiteral("cap"), QString::number(account.cap)});
    const std::pair<const char *, QString> links[] = {
        {"translating", m_config.translatingLink},
        {"banner", m_config.bannerLink},
        {"welcome", m_config.welcomeLink},
        {"findtran", m_config.findTranLink},
    };
    for (const auto &[key, link] : links) {
        if (!link.isEmpty())
            line({QStringLiteral("link:"), QString::fromLatin1(key),
                  ServiceConfig::resolve(m_base, link)});
    }
    for (const LanguageEntry &language : m_config.languages)
        line({QStringLiteral("language:"), QString::number(language.index), language.code,
              language.name});
    int id = 0;
    for (const OfferedProvider &provider : m_providers) {
        line({QStringLiteral("translation_url:"), QString::number(++id),
              QString::number(m_config.language(provider.source)->index),
              QString::number(m_config.language(provider.target)->index), provider.resultStart,
              provider.resultEnd, provider.urlTemplate, provider.kind, provider.detail, QString()});
    }
    return lines.join(QLatin1Char('\n')).toLatin1() + '\n';
}

void SettingsEndpoint::handle(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    // Any "version" is answered in the one format this service speaks; the program compares.
    const QString username = decode::queryValue(request, QStringLiteral("username"));
    const QString password = decode::queryValue(request, QStringLiteral("password"));
    const QByteArray loginError =
        errorAnswer("login", "The e-mail address or the password is not correct.");
    if (username.trimmed().isEmpty() || password.isEmpty() || username.size() > 320 ||
        password.size() > 1024) {
        exchange->send(Exchange::Status::Ok, ContentType, loginError);
        return;
    }

    const QByteArray key = m_cache.key(username, password);
    const std::optional<Account> account = m_storage.findAccount(username);
    if (!account && !m_storage.lastError().isEmpty()) {
        qWarning("settings: %s", qPrintable(m_storage.lastError()));
        // While the database is away, credentials that signed in lately still do, as they did.
        if (const std::optional<Account> remembered = m_cache.find(key))
            signedIn(exchange, *remembered);
        else
            exchange->send(Exchange::Status::ServiceUnavailable, ContentType,
                           errorAnswer("fatal", "The service is not available just now. Please "
                                                "try again later."));
        return;
    }
    const QString clientKey = QStringLiteral("sign-in from ") + exchange->client().toString();
    const QString accountKey = QStringLiteral("sign-in to ") + Storage::accountKey(username);
    const auto finish = [this, exchange, account, loginError, clientKey, accountKey,
                         key](bool matches) {
        if (!account || !matches) {
            m_throttle.failed(clientKey);
            m_throttle.failed(accountKey);
            exchange->send(Exchange::Status::Ok, ContentType, loginError);
        } else {
            m_throttle.forget(accountKey);
            m_cache.insert(key, *account);
            signedIn(exchange, *account);
        }
    };
    // Credentials known to be right skip the back-off: a guesser does not lock the owner out.
    const std::optional<Account> known = m_cache.find(key);
    if (account && known && known->passwordHash == account->passwordHash) {
        finish(true);
        return;
    }
    const int wait =
        qMax(m_throttle.secondsToWait(clientKey), m_throttle.secondsToWait(accountKey));
    if (wait > 0) {
        exchange->addHeader(QByteArrayLiteral("Retry-After"), QByteArray::number(wait));
        exchange->send(Exchange::Status::TooManyRequests, ContentType,
                       errorAnswer("login", "Too many failed sign-ins. Please wait a while "
                                            "before you try again."));
        return;
    }
    const auto busy = [&exchange] {
        exchange->addHeader(QByteArrayLiteral("Retry-After"), QByteArrayLiteral("1"));
        exchange->send(Exchange::Status::ServiceUnavailable, ContentType,
                       errorAnswer("fatal", "The service is busy. Please try again in a "
                                            "moment."));
    };
    if (!account) {
        // Unknown addresses cost as much as wrong passwords, so timing does not tell them apart.
        const QByteArray decoy = decoyHash(m_config.passwordIterations);
        if (!m_passwords.run(
                m_context, exchange->client(),
                [password, decoy] { return verifyPassword(password, decoy); }, finish))
            busy();
        return;
    }
    auto waiting = m_checking.find(key);
    if (waiting != m_checking.end()) {
        waiting->append(finish);
        return;
    }
    const QByteArray stored = account->passwordHash;
    const bool started = m_passwords.run(
        m_context, exchange->client(),
        [password, stored] { return verifyPassword(password, stored); },
        [this, key](bool matches) {
            const QList<std::function<void(bool)>> callers = m_checking.take(key);
            for (const auto &caller : callers)
                caller(matches);
        });
    if (started)
        m_checking.insert(key, {finish});
    else
        busy();
}

void SettingsEndpoint::signedIn(const SharedExchange &exchange, const Account &account)
{
    if (account.disabled) {
        exchange->send(Exchange::Status::Ok, ContentType,
                       errorAnswer("fatal", "This account has been disabled."));
        return;
    }
    exchange->send(Exchange::Status::Ok, ContentType, answer(account));
}
