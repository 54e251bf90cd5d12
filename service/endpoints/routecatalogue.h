#pragma once

#include "config/config.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

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

// The directions this service translates: each configured pair whose mode is installed, and
// those a pivot language joins from two of them.
class RouteCatalogue
{
    Q_DISABLE_COPY(RouteCatalogue)

public:
    struct Route
    {
        QString source;
        QString target;
        QStringList modes; // one, or two through the pivot
        QString pivot;
    };

    RouteCatalogue(const ServiceConfig &config, const QStringList &installedModes);

    // Withdrawn ones too: the engine answers a request for one with why it is gone.
    const Route *find(const QString &source, const QString &target) const;
    // The language a translation from source to target goes through, or nothing.
    QString pivot(const QString &source, const QString &target) const;
    // Our own directions, direct and through a pivot, and the configured web providers, by
    // source language name, then target name.
    QList<OfferedProvider> offered(const QString &base) const;
    // Offers nothing that needs the mode any more: its engines do not start.
    void withdraw(const QString &mode) { m_withdrawn.insert(mode); }

private:
    void addChains();

    const ServiceConfig &m_config;
    QList<Route> m_routes;
    QHash<QString, qsizetype> m_byPair; // "source target" to its route
    QSet<QString> m_withdrawn;          // modes
};
