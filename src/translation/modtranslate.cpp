#include "translation/modtranslate.h"

#include "platform/messagebox.h"
#include "platform/pump.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

namespace modTranslate {
namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Eight bytes (or four units) at a time while the text is plain ASCII, which most of it is.
constexpr std::uint64_t AsciiBytesMask = 0x8080808080808080ULL;
constexpr std::uint64_t AsciiUnitsMask = 0xFF80FF80FF80FF80ULL;

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
        while (end - p >= 4) {
            std::uint64_t units;
            std::memcpy(&units, p, sizeof units);
            if (units & AsciiUnitsMask)
                break;
            out[0] = static_cast<unsigned char>(p[0]);
            out[1] = static_cast<unsigned char>(p[1]);
            out[2] = static_cast<unsigned char>(p[2]);
            out[3] = static_cast<unsigned char>(p[3]);
            out += 4;
            p += 4;
        }
        if (p == end)
            break;
        const unsigned c = *p++;
        if (c < 0x80) {
            *out++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
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
    // Every sequence gives at most one unit per byte it consumes.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *const outBegin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outBegin;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *const end = p + bytes.size();
    while (p < end) {
        while (end - p >= 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, sizeof chunk);
            if (chunk & AsciiBytesMask)
                break;
            for (int i = 0; i < 8; ++i)
                out[i] = p[i];
            out += 8;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned lead = *p;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            ++p;
            continue;
        }
        if (lead < 0xC0) {
            *out++ = ReplacementCharacter;
            ++p;
            continue;
        }
        if (lead >= 0xFE) {
            platform::MsgBox(QStringLiteral("something Is wrong!"));
            *out++ = ReplacementCharacter;
            ++p;
            continue;
        }
        const int length = lead < 0xE0   ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF8 ? 4
                           : lead < 0xFC ? 5
                                         : 6;
        if (end - p < length) {
            *out++ = ReplacementCharacter;
            break;
        }
        // Following bytes count as continuation bytes whatever they hold, so a value can come
        // out negative or far beyond Unicode; those become U+FFFD.
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
        p += length;
    }
    text.resize(out - outBegin);
    return text;
}

} // namespace modTranslate
