#pragma once

#include <QString>

namespace platform {

// Removes leading and trailing spaces (U+0020 only; tabs and line breaks stay).
QString TrimSpaces(const QString &text);

// Plain decimal text (digits with an optional leading minus sign) that fits [min, max].
bool ParseDecimal(QStringView text, qint64 min, qint64 max, qint64 &value);

} // namespace platform
