#pragma once

#include "config/config.h"
#include "http/exchange.h"

#include <QList>
#include <QString>

class QHttpServerRequest;
class TranslationEngine;

// A provider as the settings answer lists it: a language pair, an address template and the two
// markers around the translation in the page the address returns.
struct OfferedProvider
{
    QString source;
    QString target;
    QString resultStart;
    QString resultEnd;
    QString urlTemplate;
    QString kind;   // "apertium" or "web"
    QString detail; // the Apertium mode, or the provider's name
};

// GET /lexorn/translate.php?src=&dest=&text=: the translation by Apertium, HTML-escaped between
// the configured markers; a page saying "ERROR: Translation failed" when there is none.
class ProviderEndpoint
{
    Q_DISABLE_COPY(ProviderEndpoint)

public:
    ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                     const QStringList &installedModes);

    // Our own pairs whose mode is installed, then the configured web providers.
    QList<OfferedProvider> offered(const QString &base) const;

    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

    QString resultPage(const QString &translation) const;
    static QString failurePage(const QString &reason);

private:
    const ServiceConfig &m_config;
    TranslationEngine *m_engine;
    QList<ApertiumPair> m_pairs;
};
