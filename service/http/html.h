#pragma once

#include <QString>

namespace html {

QString escape(const QString &text);

// A whole page. The program shows some pages in a plain rich-text view, so they stay simple: no
// scripts, no style sheets, tables for layout.
QString page(const QString &title, const QString &body);

QString paragraph(const QString &html);

} // namespace html
