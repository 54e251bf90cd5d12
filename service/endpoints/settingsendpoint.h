#pragma once

#include "config/config.h"
#include "endpoints/routecatalogue.h"
#include "http/exchange.h"

#include <QHash>
#include <QObject>

#include <functional>

class CredentialCache;
class PasswordQueue;
class QHttpServerRequest;
class Throttle;
class Storage;
struct Account;

// GET /lexorn/settings.php?version=&username=&password=: the session settings of one account, in
// lines of TAB-separated fields, ISO-8859-1 (the program reads one character per byte).
class SettingsEndpoint
{
    Q_DISABLE_COPY(SettingsEndpoint)

public:
    static constexpr const char *DataVersion = "1.0.1";

    SettingsEndpoint(const ServiceConfig &config, Storage &storage, CredentialCache &cache,
                     Throttle &throttle, PasswordQueue &passwords, QObject *context);

    void setProviders(const QString &base, const QList<OfferedProvider> &providers);
    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

    QByteArray answer(const Account &account) const;

private:
    void signedIn(const SharedExchange &exchange, const Account &account);

    const ServiceConfig &m_config;
    Storage &m_storage;
    CredentialCache &m_cache;
    Throttle &m_throttle;
    PasswordQueue &m_passwords;
    QObject *m_context;
    QString m_base;
    QList<OfferedProvider> m_providers;
    // Checks of the same credentials under way: a burst of sign-ins waits for one derivation.
    QHash<QByteArray, QList<std::function<void(bool)>>> m_checking;
};
