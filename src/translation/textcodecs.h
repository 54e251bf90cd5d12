#pragma once

#include <QByteArray>
#include <QString>

// The text helpers that turn the editor's HTML into a request and cut the translation out of a
// provider's answer.
namespace modTranslate {

// Plain text of the source editor's HTML: line breaks from <br> and </p>, tags dropped,
// &nbsp; as a space; every other character reference is left as it is.
QString HtmlToText(const QString &html);

// UTF-8 form of each 16-bit unit on its own; surrogate halves are not combined.
QByteArray Utf8Encode(const QString &text);

// Percent-encodes every byte except ASCII letters, digits and "_"; space becomes %20.
QString UrlEncode(const QByteArray &bytes);

// Pumps messages after each search. The part of source between the first startMarker and the
// first endMarker after it; empty when either is missing, a marker is empty, or the end marker
// begins inside the start marker.
QByteArray TextBetween(const QByteArray &source, const QByteArray &startMarker,
                       const QByteArray &endMarker);

// Text of UTF-8 bytes (also reads back what Utf8Encode made of lone surrogates); undecodable
// sequences give U+FFFD, and a byte 0xFE or 0xFF shows "something Is wrong!" first.
QString Utf8Decode(const QByteArray &bytes);

} // namespace modTranslate
