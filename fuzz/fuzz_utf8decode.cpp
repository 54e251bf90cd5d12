// Utf8Decode against the sequence table read one byte at a time, and the round trips the request
// and the answer rely on: Utf8Decode(Utf8Encode(t)) == t, and UrlEncode loses nothing.
#include "fuzzsupport.h"
#include "translation/textcodecs.h"

namespace {

const QChar Replacement(0xFFFD);

QString byTheTable(const QByteArray &bytes, int &boxes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size();) {
        const int lead = uchar(bytes[i]);
        // 1 for ASCII, 0 for a stray continuation or FE and FF, else 2 to 6 bytes.
        const int length = lead < 0x80                   ? 1
                           : lead < 0xC0 || lead >= 0xFE ? 0
                                                         : 2 + (lead >= 0xE0) + (lead >= 0xF0) +
                                                               (lead >= 0xF8) + (lead >= 0xFC);
        boxes += lead >= 0xFE;
        if (length <= 1) {
            out += length ? QChar(char16_t(lead)) : Replacement;
            ++i;
            continue;
        }
        if (bytes.size() - i < length) {
            out += Replacement; // cut off by the end
            break;
        }
        qint64 value = lead & (0xFF >> (length + 1));
        bool continuations = true;
        for (int k = 1; k < length; ++k) {
            const int c = uchar(bytes[i + k]);
            value = value * 64 + c - 128;
            continuations = continuations && c >= 0x80 && c < 0xC0;
        }
        const char32_t pair = char32_t(value);
        out += value >= 0 && value <= 0xFFFF ? QString(QChar(char16_t(value)))
               : length == 4 && continuations && value >= 0x10000 && value <= 0x10FFFF
                   ? QString::fromUcs4(&pair, 1)
                   : QString(Replacement);
        i += length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace modTranslate;
    const QByteArray bytes = fuzz::bytes(data, size);

    fuzz::boxesShown = 0;
    const QString text = Utf8Decode(bytes);
    int boxes = 0;
    FUZZ_CHECK(text == byTheTable(bytes, boxes));
    FUZZ_CHECK(fuzz::boxesShown == boxes);
    FUZZ_CHECK(text.size() <= bytes.size());

    fuzz::boxesShown = 0;
    const QByteArray encoded = Utf8Encode(text);
    FUZZ_CHECK(Utf8Decode(encoded) == text);
    FUZZ_CHECK(fuzz::boxesShown == 0);

    // Where Qt and these helpers agree on what the text is, they must agree on the bytes.
    QString whole = text;
    whole.removeIf([](QChar c) { return c.isSurrogate(); });
    FUZZ_CHECK(Utf8Encode(whole) == whole.toUtf8());
    FUZZ_CHECK(UrlEncode(bytes).toLatin1() == bytes.toPercentEncoding({}, "-.~"));
    // Each unit on its own: the halves of a pair become two three-byte sequences.
    QByteArray unitByUnit;
    for (const QChar c : text)
        unitByUnit += Utf8Encode(QString(c));
    FUZZ_CHECK(encoded == unitByUnit);
    return 0;
}
