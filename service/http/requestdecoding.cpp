#include "http/requestdecoding.h"

#include <QHttpServerRequest>
#include <QUrlQuery>

namespace decode {
namespace {

bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

QString fromProgramUtf8(const QByteArray &bytes)
{
    // The program encodes each UTF-16 unit on its own, so a character beyond U+FFFF arrives as
    // two three-byte sequences (ED A0..AF xx, ED B0..BF xx) that a strict decoder rejects.
    QString text;
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        text += QString::fromUtf8(bytes.constData() + plainFrom, to - plainFrom);
    };
    for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes.at(i));
        const auto second = static_cast<unsigned char>(bytes.at(i + 1));
        if (lead != 0xED || second < 0xA0 || !isContinuation(bytes.at(i + 1)) ||
            !isContinuation(bytes.at(i + 2)))
            continue;
        flushPlain(i);
        text += QChar(char16_t(0xD000 | (second & 0x3F) << 6 |
                               (static_cast<unsigned char>(bytes.at(i + 2)) & 0x3F)));
        plainFrom = i + 3;
        i += 2;
    }
    flushPlain(bytes.size());
    // Halves without their partner are no characters.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
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
        const QString key = fromProgramUtf8(QByteArray::fromPercentEncoding(name));
        if (!fields.contains(key))
            fields.insert(key, fromProgramUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return fields;
}

QString queryValue(const QHttpServerRequest &request, const QString &key)
{
    return queryValue(request.url(), key);
}

QString queryValue(const QUrl &url, const QString &key)
{
    // Qt's own decoding turns the program's form of characters beyond U+FFFF, and noncharacters
    // such as U+FFFF, into replacement characters: the bytes are decoded here instead.
    const QString encoded = QUrlQuery(url).queryItemValue(key, QUrl::FullyEncoded);
    return fromProgramUtf8(QByteArray::fromPercentEncoding(encoded.toLatin1()));
}

} // namespace decode
