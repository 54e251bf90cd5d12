#pragma once

#include "config/config.h"
#include "http/exchange.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

class QHttpServerRequest;
class TranslationEngine;
struct EngineResult;

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
// the configured markers; a page saying "ERROR: Translation failed" when there is none. A
// direction no installed mode gives may go through a pivot language: two modes, one after the
// other, within the one deadline.
class ProviderEndpoint
{
    Q_DISABLE_COPY(ProviderEndpoint)

public:
    ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                     const QStringList &installedModes);

    // Our own directions, direct and through a pivot, and the configured web providers, by
    // source language name, then target name.
    QList<OfferedProvider> offered(const QString &base) const;
    // Offers nothing that needs the mode any more: its engines do not start.
    void withdraw(const QString &mode) { m_withdrawn.insert(mode); }
    // The language a translation from source to target goes through, or nothing.
    QString pivot(const QString &source, const QString &target) const;

    void handle(const QHttpServerRequest &request, const SharedExchange &exchange);

    QString resultPage(const QString &translation) const;
    static QString failurePage(const QString &reason);

private:
    struct Route
    {
        QString source;
        QString target;
        QStringList modes; // one, or two through the pivot
        QString pivot;
    };
    void addChains();
    void step(const Route &route, qsizetype index, const QString &text, QDeadlineTimer deadline,
              const SharedExchange &exchange);
    void answer(const Route &route, const EngineResult &result, const SharedExchange &exchange);

    const ServiceConfig &m_config;
    TranslationEngine *m_engine;
    QList<Route> m_routes;
    QHash<QString, qsizetype> m_byPair; // "source target" to its route
    QSet<QString> m_withdrawn;          // modes
};
