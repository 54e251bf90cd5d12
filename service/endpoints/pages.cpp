#include "endpoints/pages.h"

#include "accounts/accountrules.h"
#include "accounts/passwordqueue.h"
#include "accounts/passwords.h"
#include "accounts/reportqueue.h"
#include "accounts/storage.h"
#include "accounts/throttle.h"
#include "endpoints/provider.h"
#include "http/html.h"
#include "http/requestdecoding.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QUrl>

using html::escape;

namespace {

constexpr qsizetype ReportUserIdLimit = 64;
constexpr qsizetype ReportCodeLimit = 32;
constexpr qsizetype ReportTextLimit = 200;

QString paragraph(const QString &text)
{
    return QStringLiteral("<p>%1</p>").arg(text);
}

QString problemText(const QString &problem)
{
    return problem.isEmpty() ? QString()
                             : QStringLiteral("<p><font color=\"#b00000\"><b>%1</b></font></p>\n")
                                   .arg(escape(problem));
}

} // namespace

Pages::Pages(const ServiceConfig &config, const ProviderEndpoint &provider, Storage &storage,
             ReportQueue &reportQueue, Throttle &throttle, Throttle &reports,
             PasswordQueue &passwords, QObject *context)
    : m_config(config), m_provider(provider), m_storage(storage), m_reportQueue(reportQueue),
      m_throttle(throttle), m_reports(reports), m_passwords(passwords), m_context(context)
{}

void Pages::tooMany(const SharedExchange &exchange, int seconds, const QString &page)
{
    exchange->addHeader(QByteArrayLiteral("Retry-After"), QByteArray::number(seconds));
    exchange->sendHtml(seconds > 0 ? Exchange::Status::TooManyRequests
                                   : Exchange::Status::ServiceUnavailable,
                       page);
}

QString Pages::languageName(const QString &code) const
{
    const LanguageEntry *language = m_config.language(code);
    return language ? language->name : code;
}

QString Pages::findTranslatorAddress(const QString &userId, const QString &source,
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

QString Pages::signupForm(const QString &email, const QString &problem) const
{
    return html::page(
        QStringLiteral("Sign up for Lexorn"),
        QStringLiteral("<h2>Create a Lexorn account</h2>\n%1"
                       "<form method=\"post\" action=\"/lexorn/signup.php\">\n"
                       "<table cellpadding=\"4\">\n"
                       "<tr><td>E-mail address</td><td><input type=\"text\" name=\"email\" "
                       "size=\"32\" value=\"%2\"></td></tr>\n"
                       "<tr><td>Password</td><td><input type=\"password\" name=\"password\" "
                       "size=\"32\"></td></tr>\n"
                       "<tr><td></td><td><input type=\"submit\" value=\"Sign up\"></td></tr>\n"
                       "</table>\n</form>\n"
                       "<p>The password needs at least %3 characters and cannot contain &amp;, "
                       "# or %.</p>")
            .arg(problemText(problem), escape(email), QString::number(MinimumPasswordLength)));
}

void Pages::signup(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    if (!exchange->isPost()) {
        exchange->sendHtml(Exchange::Status::Ok, signupForm(QString(), QString()));
        return;
    }
    const QHash<QString, QString> fields = decode::formFields(request.body());
    const QString email = fields.value(QStringLiteral("email")).trimmed();
    const QString password = fields.value(QStringLiteral("password"));
    QString problem = emailProblem(email);
    if (problem.isEmpty())
        problem = passwordProblem(password);
    if (!problem.isEmpty()) {
        exchange->sendHtml(Exchange::Status::BadRequest, signupForm(email, problem));
        return;
    }
    // Each try tells whether an address has an account: a client gets a few, then waits.
    const QString clientKey = QStringLiteral("sign-up from ") + exchange->client().toString();
    const QString later = QStringLiteral("Too many sign-ups from here. Please try again later.");
    if (const int wait = m_throttle.secondsToWait(clientKey)) {
        tooMany(exchange, wait, signupForm(email, later));
        return;
    }
    m_throttle.failed(clientKey);
    const QString taken = QStringLiteral("An account with this e-mail address already exists.");
    const std::optional<Account> existing = m_storage.findAccount(email);
    if (existing) {
        exchange->sendHtml(Exchange::Status::Conflict, signupForm(email, taken));
        return;
    }
    const int iterations = m_config.passwordIterations;
    const bool started = m_passwords.run(
        m_context, exchange->client(),
        [password, iterations] { return hashPassword(password, iterations); },
        [this, exchange, email, taken](const QByteArray &hash) {
            switch (m_storage.addAccount(email, hash, m_config.defaultLevel, m_config.defaultCap)) {
            case Storage::Added::Yes:
                exchange->sendHtml(
                    Exchange::Status::Ok,
                    html::page(QStringLiteral("Welcome to Lexorn"),
                               QStringLiteral("<h2>Your account is ready</h2>\n"
                                              "<p>Sign in to Lexorn with the e-mail address "
                                              "<b>%1</b> and your password.</p>")
                                   .arg(escape(Storage::accountKey(email)))));
                return;
            case Storage::Added::Taken:
                exchange->sendHtml(Exchange::Status::Conflict, signupForm(email, taken));
                return;
            case Storage::Added::Failed:
                qWarning("signup: %s", qPrintable(m_storage.lastError()));
                exchange->sendHtml(Exchange::Status::ServiceUnavailable,
                                   signupForm(email, QStringLiteral("The account could not be "
                                                                    "created just now. Please "
                                                                    "try again later.")));
                return;
            }
        });
    if (!started)
        tooMany(exchange, 0, signupForm(email, later));
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

void Pages::banner(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    if (!exchange->isPost()) {
        exchange->sendHtml(Exchange::Status::Ok,
                           html::page(QStringLiteral("Lexorn"),
                                      paragraph(QStringLiteral("<b>Lexorn</b>")) +
                                          paragraph(QStringLiteral("Translations by Apertium."))));
        return;
    }
    const QHash<QString, QString> fields = decode::formFields(request.body());
    const QStringList names = {QStringLiteral("userid"), QStringLiteral("src_lang"),
                               QStringLiteral("dest_lang"), QStringLiteral("text")};
    for (const QString &name : names) {
        if (!fields.contains(name)) {
            exchange->sendHtml(Exchange::Status::BadRequest,
                               html::page(QStringLiteral("Lexorn"),
                                          paragraph(QStringLiteral("The report is incomplete."))));
            return;
        }
    }
    const QString clientKey = exchange->client().toString();
    if (const int wait = m_reports.secondsToWait(clientKey)) {
        tooMany(exchange, wait,
                html::page(QStringLiteral("Lexorn"),
                           paragraph(QStringLiteral("Please try again later."))));
        return;
    }
    m_reports.failed(clientKey); // each report counts towards the client's share
    BannerReport report;
    report.userId = fields.value(QStringLiteral("userid")).left(ReportUserIdLimit);
    report.sourceLanguage = fields.value(QStringLiteral("src_lang")).left(ReportCodeLimit);
    report.targetLanguage = fields.value(QStringLiteral("dest_lang")).left(ReportCodeLimit);
    report.text = fields.value(QStringLiteral("text")).left(ReportTextLimit);
    report.received = QDateTime::currentDateTimeUtc();
    if (!m_reportQueue.add(report)) {
        exchange->sendHtml(Exchange::Status::ServiceUnavailable,
                           html::page(QStringLiteral("Lexorn"),
                                      paragraph(QStringLiteral("Please try again later."))));
        return;
    }
    const QString address =
        findTranslatorAddress(report.userId, report.sourceLanguage, report.targetLanguage);
    const QString pivot = m_provider.pivot(report.sourceLanguage, report.targetLanguage);
    const QString how =
        pivot.isEmpty()
            ? QStringLiteral("by Apertium.")
            : QStringLiteral("by Apertium, through %1.").arg(escape(languageName(pivot)));
    exchange->sendHtml(
        Exchange::Status::Ok,
        html::page(QStringLiteral("Lexorn"),
                   paragraph(QStringLiteral("<b>Lexorn</b>")) +
                       paragraph(QStringLiteral("%1 to %2 %3")
                                     .arg(escape(languageName(report.sourceLanguage)),
                                          escape(languageName(report.targetLanguage)), how)) +
                       paragraph(QStringLiteral("Need a person for it? <a href=\"%1\">Find a "
                                                "translator</a>.")
                                     .arg(escape(address)))));
}

void Pages::findTranslator(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    const QString source =
        decode::queryValue(request, QStringLiteral("src_lang")).left(ReportCodeLimit);
    const QString target =
        decode::queryValue(request, QStringLiteral("trg_lang")).left(ReportCodeLimit);
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
        QStringLiteral("%1 to %2").arg(escape(languageName(source)), escape(languageName(target)));
    const QString body =
        rows.isEmpty()
            ? paragraph(QStringLiteral("No translators are listed for %1 yet.").arg(pair))
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
