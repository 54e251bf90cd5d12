#include "endpoints/pages.h"

#include "http/html.h"
#include "http/requestdecoding.h"

#include <QHttpServerRequest>

using html::escape;

namespace {

constexpr qsizetype CodeLimit = 32; // as a banner report's

} // namespace

void Pages::index(const QHttpServerRequest &, const SharedExchange &exchange)
{
    exchange->sendHtml(
        Exchange::Status::Ok,
        html::page(QStringLiteral("Lexorn translation service"),
                   QStringLiteral("<h2>Lexorn translation service</h2>\n"
                                  "<p>This service signs in the Lexorn tray translator and "
                                  "translates for it.</p>\n"
                                  "<p><a href=\"/lexorn/signup.php\">Create an account</a></p>")));
}

void Pages::welcome(const QHttpServerRequest &, const SharedExchange &exchange)
{
    exchange->sendHtml(
        Exchange::Status::Ok,
        html::page(QStringLiteral("Welcome to Lexorn"),
                   QStringLiteral("<p><b>Welcome to Lexorn!</b></p>\n"
                                  "<p>Type or paste your text above, pick the languages and "
                                  "press Translate.</p>\n"
                                  "<p>Windows+T opens this window from anywhere.</p>")));
}

void Pages::translating(const QHttpServerRequest &, const SharedExchange &exchange)
{
    exchange->sendHtml(Exchange::Status::Ok,
                       html::page(QStringLiteral("Translating..."),
                                  QStringLiteral("<table width=\"100%\" height=\"100%\"><tr>"
                                                 "<td align=\"center\" valign=\"middle\">"
                                                 "<h3>Translating...</h3><p>One moment, please.</p>"
                                                 "</td></tr></table>")));
}

void Pages::findTranslator(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    const QString source = decode::queryValue(request, QStringLiteral("src_lang")).left(CodeLimit);
    const QString target = decode::queryValue(request, QStringLiteral("trg_lang")).left(CodeLimit);
    QString rows;
    for (const Translator &translator : m_config.translators) {
        if (translator.source != source || translator.target != target)
            continue;
        QString contact = escape(translator.contact);
        if (translator.contact.contains(QLatin1Char('@')) &&
            !translator.contact.contains(QLatin1Char(':')))
            contact = QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(contact);
        else if (translator.contact.startsWith(QLatin1String("http://")) ||
                 translator.contact.startsWith(QLatin1String("https://")))
            contact = QStringLiteral("<a href=\"%1\">%1</a>").arg(contact);
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n")
                    .arg(escape(translator.name), contact);
    }
    const QString pair =
        QStringLiteral("%1 to %2")
            .arg(escape(m_config.languageName(source)), escape(m_config.languageName(target)));
    const QString body =
        rows.isEmpty()
            ? html::paragraph(QStringLiteral("No translators are listed for %1 yet.").arg(pair))
            : QStringLiteral("<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">\n"
                             "<tr><th>Translator</th><th>Contact</th></tr>\n%1</table>")
                  .arg(rows);
    exchange->sendHtml(
        Exchange::Status::Ok,
        html::page(QStringLiteral("Find a translator"),
                   QStringLiteral("<h2>Translators for %1</h2>\n%2").arg(pair, body)));
}

void Pages::notFound(const SharedExchange &exchange)
{
    exchange->sendHtml(Exchange::Status::NotFound,
                       html::page(QStringLiteral("Not found"),
                                  QStringLiteral("<h2>Not found</h2>\n<p>There is no such page "
                                                 "on this service.</p>")));
}
