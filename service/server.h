#pragma once

#include "accounts/passwordqueue.h"
#include "accounts/passwords.h"
#include "accounts/reportqueue.h"
#include "accounts/throttle.h"
#include "config/config.h"
#include "endpoints/pages.h"
#include "endpoints/provider.h"
#include "endpoints/reportendpoint.h"
#include "endpoints/routecatalogue.h"
#include "endpoints/settingsendpoint.h"
#include "endpoints/signupendpoint.h"
#include "http/exchange.h"

#include <QHttpServer>
#include <QObject>

#include <functional>

class GuardedServer;
class Storage;
class TranslationEngine;

// The HTTP side of the service: the listening socket with its guard, and the routes.
class Server : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Server)

public:
    Server(const ServiceConfig &config, Storage &storage, TranslationEngine *engine,
           const QStringList &installedModes, QObject *parent = nullptr);
    ~Server() override;

    bool listen(QString &error);
    QString base() const { return m_base; }
    quint16 port() const;
    ReportQueue &reportQueue() { return m_reportQueue; }
    // Stops taking connections; drained() follows once the requests under way are answered, or
    // after graceMilliseconds.
    void drain(int graceMilliseconds);

Q_SIGNALS:
    void drained();

private:
    // One path, the methods it takes and what answers them.
    struct Route
    {
        QByteArrayList methods;
        QString path;
        std::function<void(const QHttpServerRequest &, const SharedExchange &)> handler;
    };
    void addRoute(const Route &route);

    const ServiceConfig &m_config;
    CredentialCache m_cache;
    ReportQueue m_reportQueue;
    Throttle m_throttle;
    Throttle m_reports;
    PasswordQueue m_passwords;
    RouteCatalogue m_catalogue;
    ProviderEndpoint m_provider;
    SettingsEndpoint m_settings;
    SignupEndpoint m_signup;
    ReportEndpoint m_report;
    Pages m_pages;
    QHttpServer m_http;
    GuardedServer *m_tcp = nullptr;
    QString m_base;
    bool m_draining = false;
};
