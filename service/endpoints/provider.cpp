#include "endpoints/provider.h"

#include "engine/engine.h"
#include "http/html.h"
#include "http/requestdecoding.h"

#include <QHttpServerRequest>

ProviderEndpoint::ProviderEndpoint(const ServiceConfig &config, TranslationEngine *engine,
                                   const RouteCatalogue &catalogue)
    : m_config(config), m_engine(engine), m_catalogue(catalogue)
{}

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

    const Route *route = m_catalogue.find(source, target);
    if (!route) {
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
    // The second step's engine loads while the first one works.
    if (route->modes.size() > 1)
        m_engine->warmUp(route->modes.mid(1));
    step(*route, 0, text, QDeadlineTimer(std::chrono::seconds(m_config.apertiumTimeoutSeconds)),
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
