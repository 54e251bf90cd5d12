// The service's reading of a request's query, as its HTTP server hands the query over: the
// settings, translation and find-a-translator endpoints take their values from it, and whatever
// text the program encodes must arrive as it was.
#include "fuzzsupport.h"
#include "http/html.h"
#include "http/requestdecoding.h"
#include "translation/textcodecs.h"

#include <QUrl>
#include <QUrlQuery>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QUrl url;
    url.setPath(QStringLiteral("/lexorn/settings.php"));
    url.setQuery(QString::fromUtf8(fuzz::bytes(data, size)));

    static const QString keys[] = {
        QStringLiteral("version"),  QStringLiteral("username"), QStringLiteral("password"),
        QStringLiteral("src"),      QStringLiteral("dest"),     QStringLiteral("text"),
        QStringLiteral("src_lang"), QStringLiteral("trg_lang"),
    };
    for (const QString &key : keys) {
        const QString value = decode::queryValue(url, key);
        // A value goes back into pages escaped, and into addresses percent-encoded: both must
        // give back exactly what was read.
        const QString escaped = html::escape(value);
        FUZZ_CHECK(!escaped.contains(QLatin1Char('<')) && !escaped.contains(QLatin1Char('"')));
        QUrlQuery again;
        again.addQueryItem(key, QString::fromLatin1(QUrl::toPercentEncoding(value)));
        QUrl back;
        back.setQuery(again);
        FUZZ_CHECK(decode::queryValue(back, key) == value);
    }

    // What the program sends arrives as the text it was.
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    QUrl sent;
    sent.setQuery(QStringLiteral("text=") +
                  modTranslate::UrlEncode(modTranslate::Utf8Encode(text)));
    FUZZ_CHECK(decode::queryValue(sent, QStringLiteral("text")) == text);
    return 0;
}
