#include "endpoints/routecatalogue.h"

#include <QCollator>

#include <algorithm>

namespace {

QString pairKey(const QString &source, const QString &target)
{
    return source + QLatin1Char(' ') + target;
}

// "ca_valencia" is Catalan too: a chain between two forms of one language says nothing new.
QString baseLanguage(const QString &code)
{
    return code.section(QLatin1Char('_'), 0, 0);
}

} // namespace

RouteCatalogue::RouteCatalogue(const ServiceConfig &config, const QStringList &installedModes)
    : m_config(config)
{
    const QSet<QString> installed(installedModes.cbegin(), installedModes.cend());
    for (const ApertiumPair &pair : config.apertiumPairs) {
        if (installed.contains(pair.mode) &&
            !m_byPair.contains(pairKey(pair.source, pair.target))) {
            m_byPair.insert(pairKey(pair.source, pair.target), m_routes.size());
            m_routes.append({pair.source, pair.target, {pair.mode}, {}});
        }
    }
    addChains();
}

void RouteCatalogue::addChains()
{
    const qsizetype direct = m_routes.size();
    for (const QString &pivot : m_config.pivots) {
        for (qsizetype i = 0; i < direct; ++i) {
            const Route into = m_routes.at(i);
            if (into.target != pivot)
                continue;
            for (qsizetype j = 0; j < direct; ++j) {
                const Route out = m_routes.at(j);
                const QString key = pairKey(into.source, out.target);
                if (out.source != pivot || m_byPair.contains(key) ||
                    baseLanguage(into.source) == baseLanguage(out.target))
                    continue;
                m_byPair.insert(key, m_routes.size());
                m_routes.append({into.source, out.target, into.modes + out.modes, pivot});
            }
        }
    }
}

const RouteCatalogue::Route *RouteCatalogue::find(const QString &source,
                                                  const QString &target) const
{
    const qsizetype found = m_byPair.value(pairKey(source, target), -1);
    return found < 0 ? nullptr : &m_routes.at(found);
}

QString RouteCatalogue::pivot(const QString &source, const QString &target) const
{
    const Route *route = find(source, target);
    return route ? route->pivot : QString();
}

QList<OfferedProvider> RouteCatalogue::offered(const QString &base) const
{
    QList<OfferedProvider> list;
    const QString address =
        base +
        QStringLiteral("/lexorn/translate.php?src=%src_lang%&dest=%dest_lang%&text=%text_encode%");
    for (const Route &route : m_routes) {
        if (std::any_of(route.modes.cbegin(), route.modes.cend(),
                        [this](const QString &mode) { return m_withdrawn.contains(mode); }))
            continue;
        list.append({route.source, route.target, m_config.resultStart, m_config.resultEnd, address,
                     QStringLiteral("apertium"), route.modes.join(QLatin1Char('+'))});
    }
    for (const ExternalProvider &provider : m_config.externalProviders) {
        list.append({provider.source, provider.target, provider.resultStart, provider.resultEnd,
                     provider.urlTemplate, QStringLiteral("web"), provider.name});
    }
    QCollator collator{QLocale(QLocale::English)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto name = [this](const QString &code) {
        const LanguageEntry *language = m_config.language(code);
        return language ? language->name : code;
    };
    std::stable_sort(list.begin(), list.end(), [&](const auto &a, const auto &b) {
        const int source = collator.compare(name(a.source), name(b.source));
        return source != 0 ? source < 0 : collator.compare(name(a.target), name(b.target)) < 0;
    });
    return list;
}
