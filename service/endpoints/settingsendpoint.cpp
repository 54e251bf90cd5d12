#include "endpoints/settingsendpoint.h"

#include "accounts/passwords.h"
#include "accounts/storage.h"
#include "http/html.h"
#include "pool.h"

#include <QHttpServerRequest>

namespace {

const QByteArray ContentType = QByteArrayLiteral("text/plain; charset=ISO-8859-1");

QByteArray errorAnswer(const char *kind, const char *message)
{
    return QByteArrayLiteral("error:\t") + kind + '\t' + message + '\n';
}

} // namespace

SettingsEndpoint::SettingsEndpoint(const ServiceConfig &config, Storage &storage,
                                   CredentialCache &cache, QObject *context)
    : m_config(config), m_storage(storage), m_cache(cache), m_context(context)
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
    const QString username = html::queryValue(request, QStringLiteral("username"));
    const QString password = html::queryValue(request, QStringLiteral("password"));
    const QByteArray loginError =
        errorAnswer("login", "The e-mail address or the password is not correct.");
    if (username.trimmed().isEmpty() || password.isEmpty() || username.size() > 320 ||
        password.size() > 1024) {
        exchange->send(Exchange::Status::Ok, ContentType, loginError);
        return;
    }

    const std::optional<Account> account = m_storage.findAccount(username);
    if (!account && !m_storage.lastError().isEmpty()) {
        qWarning("settings: %s", qPrintable(m_storage.lastError()));
        exchange->send(Exchange::Status::ServiceUnavailable, ContentType,
                       errorAnswer("fatal", "The service is not available just now. Please try "
                                            "again later."));
        return;
    }
    const auto finish = [this, exchange, account, loginError](bool matches) {
        if (!account || !matches)
            exchange->send(Exchange::Status::Ok, ContentType, loginError);
        else
            signedIn(exchange, *account);
    };
    if (!account) {
        // Unknown addresses cost as much as wrong passwords, so timing does not tell them apart.
        const QByteArray decoy = decoyHash(m_config.passwordIterations);
        runInPool(
            m_context, [password, decoy] { return verifyPassword(password, decoy); }, finish);
        return;
    }
    const QByteArray key = m_cache.key(account->email, password, account->passwordHash);
    if (m_cache.contains(key)) {
        finish(true);
        return;
    }
    auto waiting = m_checking.find(key);
    if (waiting != m_checking.end()) {
        waiting->append(finish);
        return;
    }
    m_checking.insert(key, {finish});
    const QByteArray stored = account->passwordHash;
    runInPool(
        m_context, [password, stored] { return verifyPassword(password, stored); },
        [this, key](bool matches) {
            if (matches)
                m_cache.insert(key);
            const QList<std::function<void(bool)>> callers = m_checking.take(key);
            for (const auto &caller : callers)
                caller(matches);
        });
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
