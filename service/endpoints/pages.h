#pragma once

#include "config/config.h"
#include "http/exchange.h"

#include <QObject>

class PasswordQueue;
class ProviderEndpoint;
class QHttpServerRequest;
class ReportQueue;
class Storage;
class Throttle;

// The service's own pages: sign-up, the welcome and "translating" pages and the banner shown in the
// program's views, and the list of translators that Find a Translator opens.
class Pages
{
    Q_DISABLE_COPY(Pages)

public:
    Pages(const ServiceConfig &config, const ProviderEndpoint &provider, Storage &storage,
          ReportQueue &reportQueue, Throttle &throttle, Throttle &reports, PasswordQueue &passwords,
          QObject *context);

    void setBase(const QString &base) { m_base = base; }

    void index(const QHttpServerRequest &request, const SharedExchange &exchange);
    void signup(const QHttpServerRequest &request, const SharedExchange &exchange);
    void welcome(const QHttpServerRequest &request, const SharedExchange &exchange);
    void translating(const QHttpServerRequest &request, const SharedExchange &exchange);
    void banner(const QHttpServerRequest &request, const SharedExchange &exchange);
    void findTranslator(const QHttpServerRequest &request, const SharedExchange &exchange);
    void notFound(const SharedExchange &exchange);

private:
    QString signupForm(const QString &email, const QString &problem) const;
    QString languageName(const QString &code) const;
    void tooMany(const SharedExchange &exchange, int seconds, const QString &page);
    QString findTranslatorAddress(const QString &userId, const QString &source,
                                  const QString &target) const;

    const ServiceConfig &m_config;
    const ProviderEndpoint &m_provider;
    Storage &m_storage;
    ReportQueue &m_reportQueue;
    Throttle &m_throttle;
    Throttle &m_reports;
    PasswordQueue &m_passwords;
    QObject *m_context;
    QString m_base;
};
