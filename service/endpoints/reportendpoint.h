#pragma once

#include "config/config.h"
#include "http/exchange.h"

class QHttpServerRequest;
class ReportQueue;
class RouteCatalogue;
class Throttle;

// /lexorn/banner.php: the banner shown in the program's views. On POST (userid, src_lang,
// dest_lang, text) the program reports a translation: it is kept, and the banner names the pair
// and links to its translators.
class ReportEndpoint
{
    Q_DISABLE_COPY(ReportEndpoint)

public:
    ReportEndpoint(const ServiceConfig &config, const RouteCatalogue &catalogue,
                   ReportQueue &reportQueue, Throttle &reports);

    void setBase(const QString &base) { m_base = base; }
    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

private:
    QString findTranslatorAddress(const QString &userId, const QString &source,
                                  const QString &target) const;

    const ServiceConfig &m_config;
    const RouteCatalogue &m_catalogue;
    ReportQueue &m_reportQueue;
    Throttle &m_reports;
    QString m_base;
};
