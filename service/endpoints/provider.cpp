#include "endpoints/provider.h"

#include "engine/engine.h"
#include "http/html.h"

#include <QHttpServerRequest>

ProviderEndpoint::ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                                   const QStringList &installedModes)
    : m_config(config), m_engine(engine)
{
    for (const ApertiumPair &pair : config.apertiumPairs) {
        if (installedModes.contains(pair.mode))
            m_pairs.append(pair);
    }
}

QList<OfferedProvider> ProviderEndpoint::offered(const QString &base) const
{
    QList<OfferedProvider> list;
    const QString address =
        base +
        QStringLiteral("/lexorn/translate.php?src=%src_lang%&dest=%dest_lang%&text=%text_encode%");
    for (const ApertiumPair &pair : m_pairs) {
        list.append({pair.source, pair.target, m_config.resultStart, m_config.resultEnd, address,
                     QStringLiteral("apertium"), pair.mode});
    }
    for (const ExternalProvider &provider : m_config.externalProviders) {
        list.append({provider.source, provider.target, provider.resultStart, provider.resultEnd,
                     provider.urlTemplate, QStringLiteral("web"), provider.name});
    }
    return list;
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
    const QString source = html::queryValue(request, QStringLiteral("src"));
    const QString target = html::queryValue(request, QStringLiteral("dest"));
    const QString text = html::queryValue(request, QStringLiteral("text"));

    const ApertiumPair *pair = nullptr;
    for (const ApertiumPair &candidate : std::as_const(m_pairs)) {
        if (candidate.source == source && candidate.target == target)
            pair = &candidate;
    }
    if (!pair) {
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
    const QString mode = pair->mode;
    m_engine->translate(
        mode, text, exchange->client(), [this, exchange, mode](const EngineResult &result) {
            switch (result.outcome) {
            case EngineResult::Outcome::Translated:
                exchange->sendHtml(Exchange::Status::Ok, resultPage(result.text));
                return;
            case EngineResult::Outcome::TimedOut:
                exchange->sendHtml(Exchange::Status::GatewayTimeout,
                                   failurePage(QStringLiteral("The translation took too long.")));
                break;
            case EngineResult::Outcome::Busy:
                exchange->sendHtml(
                    Exchange::Status::ServiceUnavailable,
                    failurePage(QStringLiteral("The service is busy; please try again.")));
                break;
            case EngineResult::Outcome::Failed:
                exchange->sendHtml(Exchange::Status::BadGateway,
                                   failurePage(QStringLiteral("The translation engine failed.")));
                break;
            }
            qWarning("apertium %s: %s", qPrintable(mode), qPrintable(result.detail));
        });
}
