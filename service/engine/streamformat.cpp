#include "engine/streamformat.h"

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

} // namespace

namespace streamformat {

QByteArray deformat(const QString &text)
{
    static const QString reserved = QStringLiteral("\\[]^$<>@/{}");
    QString stream;
    stream.reserve(text.size() + text.size() / 8 + 8);
    const qsizetype n = text.size();
    bool endsInBlank = false;
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            qsizetype j = i;
            while (j < n && isBlank(text.at(j)))
                ++j;
            const QStringView run = QStringView(text).mid(i, j - i);
            if (run == QLatin1String(" ") && j < n) {
                stream += c;
            } else {
                // At the end and at a blank line a sentence may end: the deformatter offers the
                // tagger a full stop there, which the reformatter takes away again.
                if (j == n || run.count(QLatin1Char('\n')) >= 2)
                    stream += QStringLiteral(".[]");
                stream += QLatin1Char('[');
                stream += run;
                stream += QLatin1Char(']');
                endsInBlank = j == n;
            }
            i = j;
            continue;
        }
        if (c == QLatin1Char('~'))
            stream += QStringLiteral("[~]");
        else if (reserved.contains(c))
            stream += QLatin1Char('\\') + QString(c);
        else
            stream += c;
        ++i;
    }
    if (!endsInBlank)
        stream += QStringLiteral(".[]");
    return stream.toUtf8();
}

QString reformat(const QByteArray &stream)
{
    const QString text = QString::fromUtf8(stream);
    QString plain;
    plain.reserve(text.size());
    bool lastIsStop = false; // the last unit written is a full stop that was not escaped
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            plain += text.at(i + 1);
            lastIsStop = false;
            i += 2;
        } else if (c == QLatin1Char('[')) {
            QString blank;
            qsizetype j = i + 1;
            while (j < n && text.at(j) != QLatin1Char(']')) {
                if (text.at(j) == QLatin1Char('\\') && j + 1 < n)
                    ++j;
                blank += text.at(j++);
            }
            if (blank.isEmpty() && lastIsStop)
                plain.chop(1); // the deformatter's own full stop
            plain += blank;
            lastIsStop = false;
            i = j + 1;
        } else {
            plain += c;
            lastIsStop = c == QLatin1Char('.');
            ++i;
        }
    }
    return plain;
}

} // namespace streamformat
