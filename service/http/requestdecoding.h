#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class QHttpServerRequest;
class QUrl;

// What a request carries, read as the program writes it.
namespace decode {

// Text of UTF-8 as the program writes it: also a character beyond U+FFFF written as its two
// UTF-16 halves, three bytes each. Whatever cannot be decoded becomes U+FFFD.
QString fromProgramUtf8(const QByteArray &bytes);

// The fields of an application/x-www-form-urlencoded body; the first of a repeated name wins.
QHash<QString, QString> formFields(const QByteArray &body);

// A query value, percent-decoded as the program's UTF-8 ('+' stays '+': the program sends raw
// text there).
QString queryValue(const QHttpServerRequest &request, const QString &key);
QString queryValue(const QUrl &url, const QString &key);

} // namespace decode
