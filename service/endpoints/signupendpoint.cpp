#include "endpoints/signupendpoint.h"

#include "accounts/accountrules.h"
#include "accounts/passwordqueue.h"
#include "accounts/passwords.h"
#include "accounts/storage.h"
#include "accounts/throttle.h"
#include "http/html.h"
#include "http/requestdecoding.h"

#include <QHttpServerRequest>

using html::escape;

SignupEndpoint::SignupEndpoint(const ServiceConfig &config, Storage &storage, Throttle &throttle,
                               PasswordQueue &passwords, QObject *context)
    : m_config(config), m_storage(storage), m_throttle(throttle), m_passwords(passwords),
      m_context(context)
{}

QString SignupEndpoint::form(const QString &email, const QString &problem) const
{
    const QString shown = problem.isEmpty()
                              ? QString()
                              : QStringLiteral("<p><font color=\"#b00000\"><b>%1</b></font></p>\n")
                                    .arg(escape(problem));
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
            .arg(shown, escape(email), QString::number(MinimumPasswordLength)));
}

void SignupEndpoint::handle(const QHttpServerRequest &request, const SharedExchange &exchange)
{
    if (!exchange->isPost()) {
        exchange->sendHtml(Exchange::Status::Ok, form(QString(), QString()));
        return;
    }
    const QHash<QString, QString> fields = decode::formFields(request.body());
    const QString email = fields.value(QStringLiteral("email")).trimmed();
    const QString password = fields.value(QStringLiteral("password"));
    QString problem = emailProblem(email);
    if (problem.isEmpty())
        problem = passwordProblem(password);
    if (!problem.isEmpty()) {
        exchange->sendHtml(Exchange::Status::BadRequest, form(email, problem));
        return;
    }
    // Each try tells whether an address has an account: a client gets a few, then waits.
    const QString clientKey = QStringLiteral("sign-up from ") + exchange->client().toString();
    const QString later = QStringLiteral("Too many sign-ups from here. Please try again later.");
    if (const int wait = m_throttle.secondsToWait(clientKey)) {
        exchange->sendRetryLater(wait, form(email, later));
        return;
    }
    m_throttle.failed(clientKey);
    const QString taken = QStringLiteral("An account with this e-mail address already exists.");
    const std::optional<Account> existing = m_storage.findAccount(email);
    if (existing) {
        exchange->sendHtml(Exchange::Status::Conflict, form(email, taken));
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
                exchange->sendHtml(Exchange::Status::Conflict, form(email, taken));
                return;
            case Storage::Added::Failed:
                qWarning("signup: %s", qPrintable(m_storage.lastError()));
                exchange->sendHtml(Exchange::Status::ServiceUnavailable,
                                   form(email, QStringLiteral("The account could not be "
                                                              "created just now. Please "
                                                              "try again later.")));
                return;
            }
        });
    if (!started)
        exchange->sendBusy(
            form(email, QStringLiteral("The service is busy. Please try again in a moment.")));
}
