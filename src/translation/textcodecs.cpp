#include "translation/textcodecs.h"

#include "platform/messagebox.h"
#include "platform/pump.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

#include <emmintrin.h> // every target is x86-64

namespace modTranslate {
namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

bool isLineBreakTag(const char16_t *p, const char16_t *end)
{
    if (end - p < 4 || p[3] != u'>')
        return false;
    return (p[1] == u'b' && p[2] == u'r') || (p[1] == u'B' && p[2] == u'R') ||
           (p[1] == u'/' && (p[2] == u'p' || p[2] == u'P'));
}

bool endsWithNbsp(const char16_t *begin, const char16_t *end)
{
    if (end - begin < 6)
        return false;
    const char16_t *p = end - 6;
    if (p[0] != u'&')
        return false;
    return (p[1] == u'n' && p[2] == u'b' && p[3] == u's' && p[4] == u'p') ||
           (p[1] == u'N' && p[2] == u'B' && p[3] == u'S' && p[4] == u'P');
}

// The CR LF pairs go first, so a tag split over two lines is matched whole afterwards.
QString withoutCrLf(const QString &html)
{
    if (!html.contains(u'\r'))
        return html;
    QString joined(html.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(joined.data());
    char16_t *const outBegin = out;
    const char16_t *p = reinterpret_cast<const char16_t *>(html.constData());
    const char16_t *const end = p + html.size();
    while (p < end) {
        if (p[0] == u'\r' && end - p >= 2 && p[1] == u'\n') {
            p += 2;
            continue;
        }
        *out++ = *p++;
    }
    joined.resize(out - outBegin);
    return joined;
}

// Most text is ASCII: its runs go through a block at a time, and each function starts its
// next step at the first unit that is not.
void narrowAsciiRun(const char16_t *&p, const char16_t *end, unsigned char *&out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i nonAsciiBits = _mm_set1_epi16(short(0xFF80));
    while (end - p >= 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 8));
        const __m128i either = _mm_and_si128(_mm_or_si128(low, high), nonAsciiBits);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(either, zero)) != 0xFFFF)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(low, high));
        p += 16;
        out += 16;
    }
    while (end - p >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(units, units));
        const auto ascii =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAsciiBits), zero)));
        if (ascii != 0xFFFF) {
            const int run = std::countr_zero(~ascii) / 2;
            p += run;
            out += run;
            return;
        }
        p += 8;
        out += 8;
    }
    while (p < end && *p < 0x80)
        *out++ = static_cast<unsigned char>(*p++);
}

constexpr std::array<bool, 256> unreservedBytes()
{
    std::array<bool, 256> table{};
    for (int b = '0'; b <= '9'; ++b)
        table[b] = true;
    for (int b = 'A'; b <= 'Z'; ++b)
        table[b] = true;
    for (int b = 'a'; b <= 'z'; ++b)
        table[b] = true;
    table['_'] = true;
    return table;
}

// glibc's memmem stays linear whatever the marker looks like; elsewhere Boyer-Moore with its
// good-suffix rule gives the same bound for a first occurrence.
qsizetype findBytes(const QByteArray &haystack, qsizetype from, const QByteArray &needle)
{
    if (haystack.size() - from < needle.size())
        return -1;
#if defined(__GLIBC__)
    const void *hit = memmem(haystack.constData() + from, size_t(haystack.size() - from),
                             needle.constData(), size_t(needle.size()));
    return hit ? static_cast<const char *>(hit) - haystack.constData() : -1;
#else
    const auto hit = std::search(haystack.cbegin() + from, haystack.cend(),
                                 std::boyer_moore_searcher(needle.cbegin(), needle.cend()));
    return hit == haystack.cend() ? -1 : hit - haystack.cbegin();
#endif
}

void widenAsciiRun(const unsigned char *&p, const unsigned char *end, char16_t *&out)
{
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        const auto nonAscii = unsigned(_mm_movemask_epi8(bytes));
        if (nonAscii) {
            const int run = std::countr_zero(nonAscii);
            p += run;
            out += run;
            return;
        }
        p += 16;
        out += 16;
    }
    while (p < end && *p < 0x80)
        *out++ = *p++;
}

// The rare sequences: stray continuation bytes, 0xFE/0xFF, sequences cut off by the end, and
// four to six bytes. Following bytes count as continuation bytes whatever they hold, so a value
// can come out negative or far beyond Unicode; those become U+FFFD.
const unsigned char *decodeUncommon(const unsigned char *p, const unsigned char *end,
                                    char16_t *&out)
{
    const unsigned lead = *p;
    if (lead < 0xC0) {
        *out++ = ReplacementCharacter;
        return p + 1;
    }
    if (lead >= 0xFE) {
        platform::MsgBox(QStringLiteral("something Is wrong!"));
        *out++ = ReplacementCharacter;
        return p + 1;
    }
    const int length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : 6;
    if (end - p < length) {
        *out++ = ReplacementCharacter;
        return end;
    }
    std::int64_t value = lead & (0x7F >> length);
    bool continuationsOnly = true;
    for (int i = 1; i < length; ++i) {
        value = value * 64 + (int(p[i]) - 0x80);
        continuationsOnly = continuationsOnly && (p[i] & 0xC0) == 0x80;
    }
    if (value >= 0 && value <= 0xFFFF) {
        *out++ = static_cast<char16_t>(value);
    } else if (length == 4 && continuationsOnly && value >= 0x10000 && value <= 0x10FFFF) {
        const auto offset = static_cast<std::uint32_t>(value - 0x10000);
        *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
        *out++ = ReplacementCharacter;
    }
    return p + length;
}

} // namespace

QString HtmlToText(const QString &html)
{
    const QString joined = withoutCrLf(html);
    // Nothing below makes the text longer: a break tag becomes two units, a tag or &nbsp; fewer.
    QString text(joined.size(), Qt::Uninitialized);
    char16_t *const outBegin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outBegin;
    const char16_t *p = reinterpret_cast<const char16_t *>(joined.constData());
    const char16_t *const end = p + joined.size();
    bool inTag = false;
    while (p < end) {
        const char16_t c = *p;
        if (c == u'<') {
            // A break tag is replaced before tags are stripped, so inside a tag its CR LF is
            // dropped and its ">" does not end the tag around it.
            if (isLineBreakTag(p, end)) {
                if (!inTag) {
                    *out++ = u'\r';
                    *out++ = u'\n';
                }
                p += 4;
                continue;
            }
            inTag = true;
        } else if (inTag) {
            inTag = c != u'>';
        } else {
            *out++ = c;
            // Checked on the output, so an &nbsp; that only closes up once a tag is gone counts.
            if (c == u';' && endsWithNbsp(outBegin, out)) {
                out -= 6;
                *out++ = u' ';
            }
        }
        ++p;
    }
    text.resize(out - outBegin);
    return text;
}

QByteArray Utf8Encode(const QString &text)
{
    QByteArray bytes(text.size() * 3, Qt::Uninitialized);
    auto *const outBegin = reinterpret_cast<unsigned char *>(bytes.data());
    unsigned char *out = outBegin;
    const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = p + text.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            // A lone ASCII unit, such as the space between two words of another script, is not
            // worth the block at a time.
            if (end - p > 1 && p[1] < 0x80) {
                narrowAsciiRun(p, end, out);
            } else {
                *out++ = static_cast<unsigned char>(c);
                ++p;
            }
        } else if (c < 0x800) {
            out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
            out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            out += 2;
            ++p;
        } else {
            out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
            out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            out += 3;
            ++p;
        }
    }
    bytes.resize(out - outBegin);
    return bytes;
}

QString UrlEncode(const QByteArray &bytes)
{
    static constexpr std::array<bool, 256> unreserved = unreservedBytes();
    static constexpr char16_t hexDigits[] = u"0123456789ABCDEF";
    QString encoded(bytes.size() * 3, Qt::Uninitialized);
    char16_t *const outBegin = reinterpret_cast<char16_t *>(encoded.data());
    char16_t *out = outBegin;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *const end = p + bytes.size();
    for (; p < end; ++p) {
        const unsigned char b = *p;
        if (unreserved[b]) {
            *out++ = b;
        } else {
            out[0] = u'%';
            out[1] = hexDigits[b >> 4];
            out[2] = hexDigits[b & 0x0F];
            out += 3;
        }
    }
    encoded.resize(out - outBegin);
    return encoded;
}

QByteArray TextBetween(const QByteArray &source, const QByteArray &startMarker,
                       const QByteArray &endMarker)
{
    if (source.isEmpty() || startMarker.isEmpty() || endMarker.isEmpty())
        return {};
    const qsizetype start = findBytes(source, 0, startMarker);
    platform::DoEvents();
    if (start < 0)
        return {};
    // One search from just after the start marker's position passes over every end marker
    // before it at once, however many there are.
    const qsizetype stop = findBytes(source, start + 1, endMarker);
    platform::DoEvents();
    const qsizetype from = start + startMarker.size();
    if (stop < from)
        return {};
    return source.mid(from, stop - from);
}

QString Utf8Decode(const QByteArray &bytes)
{
    // Every sequence gives at most one unit per byte it consumes, so the output never outruns
    // the input and block stores stay inside the buffer.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *const outBegin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outBegin;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            widenAsciiRun(p, end, out);
        } else if ((lead & 0xE0) == 0xC0 && end - p >= 2) {
            const int value = int(lead & 0x1F) * 64 + (int(p[1]) - 0x80);
            *out++ = value >= 0 ? static_cast<char16_t>(value) : ReplacementCharacter;
            p += 2;
        } else if ((lead & 0xF0) == 0xE0 && end - p >= 3) {
            const int value =
                int(lead & 0x0F) * 4096 + (int(p[1]) - 0x80) * 64 + (int(p[2]) - 0x80);
            *out++ =
                unsigned(value) <= 0xFFFF ? static_cast<char16_t>(value) : ReplacementCharacter;
            p += 3;
        } else {
            p = decodeUncommon(p, end, out);
        }
    }
    text.resize(out - outBegin);
    return text;
}

} // namespace modTranslate
