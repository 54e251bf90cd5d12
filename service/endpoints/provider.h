#pragma once

#include "config/config.h"
#include "endpoints/routecatalogue.h"
#include "http/exchange.h"

#include <QDeadlineTimer>
#include <QString>

class QHttpServerRequest;
class TranslationEngine;
struct EngineResult;

// GET /lexorn/translate.php?src=&dest=&text=: the translation by Apertium, HTML-escaped between
// the configured markers; a page saying "ERROR: Translation failed" when there is none. A
// direction no installed mode gives may go through a pivot language: two modes, one after the
// other, within the one deadline.
class ProviderEndpoint
{
    Q_DISABLE_COPY(ProviderEndpoint)

public:
    ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                     const RouteCatalogue &catalogue);

    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

private:
    using Route = RouteCatalogue::Route;

    void step(const Route &route, qsizetype index, const QString &text, QDeadlineTimer deadline,
              const SharedExchange &exchange);
    void answer(const Route &route, const EngineResult &result, const SharedExchange &exchange);
    QString resultPage(const QString &translation) const;
    static QString failurePage(const QString &reason);

    const ServiceConfig &m_config;
    TranslationEngine *m_engine;
    const RouteCatalogue &m_catalogue;
};
