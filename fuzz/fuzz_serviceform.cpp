// The service's reading of a form body (sign-up, the banner report): every field read must come
// back the same when the fields are encoded again, and the account rules take any field.
#include "accounts/accountrules.h"
#include "fuzzsupport.h"
#include "http/requestdecoding.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QHash<QString, QString> fields = decode::formFields(fuzz::bytes(data, size));

    QByteArray again;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (!again.isEmpty())
            again += '&';
        again += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value());
    }
    FUZZ_CHECK(decode::formFields(again) == fields);

    const QString email = fields.value(QStringLiteral("email")).trimmed();
    const QString password = fields.value(QStringLiteral("password"));
    if (emailProblem(email).isEmpty())
        FUZZ_CHECK(!email.contains(QLatin1Char('&')) && email.size() <= 254);
    if (passwordProblem(password).isEmpty())
        FUZZ_CHECK(!password.contains(QLatin1Char('&')) && !password.contains(QLatin1Char('%')) &&
                   !password.contains(QLatin1Char('#')));
    return 0;
}
