// Utf8Decode against the sequence table read one byte at a time, and the round trips the request
// and the answer rely on: Utf8Decode(Utf8Encode(t)) == t, and UrlEncode loses nothing.
#include "fuzzsupport.h"
#include "translation/modtranslate.h"

namespace {

constexpr char16_t Replacement = 0xFFFD;

QString byTheTable(const QByteArray &bytes, int &boxes)
{
    QString out;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const int lead = b[i];
        if (lead < 0x80) {
            out += QChar(char16_t(lead));
            ++i;
            continue;
        }
        if (lead < 0xC0 || lead >= 0xFE) {
            boxes += lead >= 0xFE;
            out += QChar(Replacement);
            ++i;
            continue;
        }
        const int length = lead < 0xE0   ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF8 ? 4
                           : lead < 0xFC ? 5
                                         : 6;
        if (n - i < length) {
            out += QChar(Replacement);
            break;
        }
        static const int base[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
        qint64 value = lead - base[length];
        bool continuations = true;
        for (int k = 1; k < length; ++k) {
            value = value * 64 + (int(b[i + k]) - 128);
            continuations = continuations && b[i + k] >= 0x80 && b[i + k] < 0xC0;
        }
        if (value >= 0 && value <= 0xFFFF) {
            out += QChar(char16_t(value));
        } else if (length == 4 && continuations && value >= 0x10000 && value <= 0x10FFFF) {
            out += QChar(QChar::highSurrogate(uint(value)));
            out += QChar(QChar::lowSurrogate(uint(value)));
        } else {
            out += QChar(Replacement);
        }
        i += length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

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
    return 0;
}
