#include "accounts/accountrules.h"

#include <QRegularExpression>

#include <algorithm>

QString emailProblem(const QString &email)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[A-Za-z0-9._+-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)+$"));
    if (email.size() > 254 || !pattern.match(email).hasMatch())
        return QStringLiteral("Please enter a valid e-mail address, such as name@example.com.");
    return {};
}

QString passwordProblem(const QString &password)
{
    if (password.size() < MinimumPasswordLength)
        return QStringLiteral("The password must have at least %1 characters.")
            .arg(MinimumPasswordLength);
    if (password.size() > MaximumPasswordLength)
        return QStringLiteral("The password must have at most %1 characters.")
            .arg(MaximumPasswordLength);
    const bool unsendable =
        password.contains(QLatin1Char('&')) || password.contains(QLatin1Char('#')) ||
        password.contains(QLatin1Char('%')) || password.front().isSpace() ||
        password.back().isSpace() || std::any_of(password.cbegin(), password.cend(), [](QChar c) {
            return c.category() == QChar::Other_Control;
        });
    if (unsendable)
        return QStringLiteral("The password cannot contain &, # or % or control characters, nor "
                              "begin or end with a space: the Lexorn program could not send it.");
    return {};
}
