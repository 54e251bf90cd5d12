#include "endpoints/provider.h"

#include "engine/engine.h"
#include "http/html.h"
#include "http/requestdecoding.h"

#include <QCollator>
#include <QHttpServerRequest>
#include <QSet>

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

ProviderEndpoint::ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                                   const QStringList &installedModes)
    : m_config(config), m_engine(engine)
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

void ProviderEndpoint::addChains()
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

QList<OfferedProvider> ProviderEndpoint::offered(const QString &base) const
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

QString ProviderEndpoint::pivot(const QString &source, const QString &target) const
{
    const qsizetype found = m_byPair.value(pairKey(source, target), -1);
    return found < 0 ? QString() : m_routes.at(found).pivot;
}

QString ProviderEndpoint::resultPage(const QString &translation) const
{
    QString text = html::escape(translation);
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return html::page(QStringLiteral("Translation"),
                      m_config.resultStart + text + m_config.resultEnd);
}

QString ProviderEndpoint::failurePage(const QString &reason)
{
    return html::page(
        QStringLiteral("Translation failed"),
        QStringLiteral("<p>ERROR: Translation failed</p>\n<p>%1</p>").arg(html::escape(reason)));
}

void ProviderEndpoint::handle(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    const QString source = decode::queryValue(request, QStringLiteral("src"));
    const QString target = decode::queryValue(request, QStringLiteral("dest"));
    const QString text = decode::queryValue(request, QStringLiteral("text"));

    const qsizetype found = m_byPair.value(pairKey(source, target), -1);
    if (found < 0) {
        exchange->sendHtml(
            Exchange::Status::NotFound,
            failurePage(QStringLiteral("This service does not translate from %1 to %2.")
                            .arg(source.left(32), target.left(32))));
        return;
    }
    if (text.trimmed().isEmpty()) {
        exchange->sendHtml(Exchange::Status::Ok, resultPage(QString()));
        return;
    }
    if (m_config.maxText > 0 && text.size() > m_config.maxText) {
        exchange->sendHtml(
            Exchange::Status::PayloadTooLarge,
            failurePage(
                QStringLiteral("The text is longer than %1 characters.").arg(m_config.maxText)));
        return;
    }
    const Route &route = m_routes.at(found);
    // The second step's engine loads while the first one works.
    if (route.modes.size() > 1)
        m_engine->warmUp(route.modes.mid(1));
    step(route, 0, text, QDeadlineTimer(std::chrono::seconds(m_config.apertiumTimeoutSeconds)),
         exchange);
}

void ProviderEndpoint::step(const Route &route, qsizetype index, const QString &text,
                            QDeadlineTimer deadline, const SharedExchange &exchange)
{
    m_engine->translate(route.modes.at(index), text, exchange->client(), deadline,
                        [this, route, index, deadline, exchange](const EngineResult &result) {
                            if (result.outcome == EngineResult::Outcome::Translated &&
                                index + 1 < route.modes.size() && !result.text.trimmed().isEmpty())
                                step(route, index + 1, result.text, deadline, exchange);
                            else
                                answer(route, result, exchange);
                        });
}

void ProviderEndpoint::answer(const Route &route, const EngineResult &result,
                              const SharedExchange &exchange)
{
    QString detail = result.detail;
    switch (result.outcome) {
    case EngineResult::Outcome::Translated:
        // Only a text that is not blank reaches an engine: nothing back is no translation.
        if (!result.text.trimmed().isEmpty()) {
            exchange->sendHtml(Exchange::Status::Ok, resultPage(result.text));
            return;
        }
        detail = QStringLiteral("an empty translation");
        exchange->sendHtml(Exchange::Status::BadGateway,
                           failurePage(QStringLiteral("The translation engine gave no "
                                                      "translation.")));
        break;
    case EngineResult::Outcome::TimedOut:
        exchange->sendHtml(Exchange::Status::GatewayTimeout,
                           failurePage(QStringLiteral("The translation took too long.")));
        break;
    case EngineResult::Outcome::Busy:
        exchange->sendHtml(Exchange::Status::ServiceUnavailable,
                           failurePage(QStringLiteral("The service is busy; please try again.")));
        break;
    case EngineResult::Outcome::Failed:
        exchange->sendHtml(Exchange::Status::BadGateway,
                           failurePage(QStringLiteral("The translation engine failed.")));
        break;
    case EngineResult::Outcome::Withdrawn:
        exchange->sendHtml(Exchange::Status::BadGateway,
                           failurePage(QStringLiteral(
                               "The translation engine failed to start twice in a row: this "
                               "pair is no longer offered until the service restarts.")));
        break;
    }
    qWarning("apertium %s: %s", qPrintable(route.modes.join(QLatin1Char('+'))), qPrintable(detail));
}
