#include "http/html.h"

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

QString paragraph(const QString &html)
{
    return QStringLiteral("<p>%1</p>").arg(html);
}

} // namespace html
