#pragma once

#include "config/config.h"
#include "http/exchange.h"

#include <QObject>

class PasswordQueue;
class QHttpServerRequest;
class Storage;
class Throttle;

// /lexorn/signup.php: the sign-up form, and on POST (email, password) a new account. Each try
// tells whether an address has an account, so each counts against the client's share.
class SignupEndpoint
{
    Q_DISABLE_COPY(SignupEndpoint)

public:
    SignupEndpoint(const ServiceConfig &config, Storage &storage, Throttle &throttle,
                   PasswordQueue &passwords, QObject *context);

    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

private:
    QString form(const QString &email, const QString &problem) const;

    const ServiceConfig &m_config;
    Storage &m_storage;
    Throttle &m_throttle;
    PasswordQueue &m_passwords;
    QObject *m_context;
};
