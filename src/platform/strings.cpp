#include "platform/strings.h"

namespace platform {

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

bool ParseDecimal(QStringView text, qint64 min, qint64 max, qint64 &value)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringView digits = negative ? text.mid(1) : text;
    if (digits.isEmpty())
        return false;
    const qint64 limit = negative ? -min : max;
    qint64 magnitude = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > limit)
            return false; // also stops before a long run of digits could overflow
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace platform
