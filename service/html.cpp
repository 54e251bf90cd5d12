#include "html.h"

#include <QHttpServerRequest>
#include <QUrlQuery>

namespace html {

QString escape(const QString &text)
{
    return text.toHtmlEscaped();
}

QString page(const QString &title, const QString &body)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
               "<body>\n%2\n</body></html>\n")
        .arg(escape(title), body);
}

QHash<QString, QString> formFields(const QByteArray &body)
{
    QHash<QString, QString> fields;
    const QList<QByteArray> pairs = body.split('&');
    for (const QByteArray &pair : pairs) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        QByteArray name = pair.left(equals < 0 ? pair.size() : equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(name));
        if (!fields.contains(key))
            fields.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return fields;
}

QString queryValue(const QHttpServerRequest &request, const QString &key)
{
    return queryValue(request.url(), key);
}

QString queryValue(const QUrl &url, const QString &key)
{
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace html
