#include "endpoints/reportendpoint.h"

#include "accounts/reportqueue.h"
#include "accounts/throttle.h"
#include "endpoints/routecatalogue.h"
#include "http/html.h"
#include "http/requestdecoding.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QUrl>

using html::escape;
using html::paragraph;

namespace {

constexpr qsizetype UserIdLimit = 64;
constexpr qsizetype CodeLimit = 32;
constexpr qsizetype TextLimit = 200;

QString banner(const QString &body)
{
    return html::page(QStringLiteral("Lexorn"), body);
}

QString tryLater()
{
    return banner(paragraph(QStringLiteral("Please try again later.")));
}

} // namespace

ReportEndpoint::ReportEndpoint(const ServiceConfig &config, const RouteCatalogue &catalogue,
                               ReportQueue &reportQueue, Throttle &reports)
    : m_config(config), m_catalogue(catalogue), m_reportQueue(reportQueue), m_reports(reports)
{}

QString ReportEndpoint::findTranslatorAddress(const QString &userId, const QString &source,
                                              const QString &target) const
{
    QString address = ServiceConfig::resolve(m_base, m_config.findTranLink);
    const auto encoded = [](const QString &text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    address.replace(QStringLiteral("%userid%"), encoded(userId));
    address.replace(QStringLiteral("%src_lang%"), encoded(source));
    address.replace(QStringLiteral("%trg_lang%"), encoded(target));
    return address;
}

void ReportEndpoint::handle(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    if (!exchange->isPost()) {
        exchange->sendHtml(Exchange::Status::Ok,
                           banner(paragraph(QStringLiteral("<b>Lexorn</b>")) +
                                  paragraph(QStringLiteral("Translations by Apertium."))));
        return;
    }
    const QHash<QString, QString> fields = decode::formFields(request.body());
    const QStringList names = {QStringLiteral("userid"), QStringLiteral("src_lang"),
                               QStringLiteral("dest_lang"), QStringLiteral("text")};
    for (const QString &name : names) {
        if (!fields.contains(name)) {
            exchange->sendHtml(Exchange::Status::BadRequest,
                               banner(paragraph(QStringLiteral("The report is incomplete."))));
            return;
        }
    }
    const QString clientKey = exchange->client().toString();
    if (const int wait = m_reports.secondsToWait(clientKey)) {
        exchange->sendRetryLater(wait, tryLater());
        return;
    }
    m_reports.failed(clientKey); // each report counts towards the client's share
    BannerReport report;
    report.userId = fields.value(QStringLiteral("userid")).left(UserIdLimit);
    report.sourceLanguage = fields.value(QStringLiteral("src_lang")).left(CodeLimit);
    report.targetLanguage = fields.value(QStringLiteral("dest_lang")).left(CodeLimit);
    report.text = fields.value(QStringLiteral("text")).left(TextLimit);
    report.received = QDateTime::currentDateTimeUtc();
    if (!m_reportQueue.add(report)) {
        exchange->sendHtml(Exchange::Status::ServiceUnavailable, tryLater());
        return;
    }
    const QString address =
        findTranslatorAddress(report.userId, report.sourceLanguage, report.targetLanguage);
    const QString pivot = m_catalogue.pivot(report.sourceLanguage, report.targetLanguage);
    const QString how =
        pivot.isEmpty()
            ? QStringLiteral("by Apertium.")
            : QStringLiteral("by Apertium, through %1.").arg(escape(m_config.languageName(pivot)));
    exchange->sendHtml(
        Exchange::Status::Ok,
        banner(
            paragraph(QStringLiteral("<b>Lexorn</b>")) +
            paragraph(QStringLiteral("%1 to %2 %3")
                          .arg(escape(m_config.languageName(report.sourceLanguage)),
                               escape(m_config.languageName(report.targetLanguage)), how)) +
            paragraph(QStringLiteral("Need a person for it? <a href=\"%1\">Find a translator</a>.")
                          .arg(escape(address)))));
}
