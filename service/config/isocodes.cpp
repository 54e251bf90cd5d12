#include "config/isocodes.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

#include <string_view>

namespace {

// A GNU gettext catalogue (.mo), mapped rather than read: its originals are sorted, so a lookup
// is a binary search in place and nothing of it stays in memory.
class Catalogue
{
public:
    explicit Catalogue(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly) || m_file.size() < 20)
            return;
        m_data = m_file.map(0, m_file.size());
        m_size = m_file.size();
        if (!m_data)
            return;
        const quint32 magic = qFromLittleEndian<quint32>(m_data);
        m_swapped = magic == 0xde120495;
        if (magic != 0x950412de && !m_swapped)
            return;
        m_originals = word(12);
        m_translations = word(16);
        m_count = word(8);
    }

    QString translate(std::string_view original) const
    {
        quint32 low = 0, high = m_count;
        while (low < high) {
            const quint32 middle = low + (high - low) / 2;
            const std::string_view candidate = string(m_originals, middle);
            if (candidate < original) {
                low = middle + 1;
            } else if (original < candidate) {
                high = middle;
            } else {
                const std::string_view translation = string(m_translations, middle);
                // Plural forms follow the first after a NUL.
                return QString::fromUtf8(translation.substr(0, translation.find('\0')));
            }
        }
        return {};
    }

private:
    quint32 word(qint64 offset) const
    {
        if (offset < 0 || offset + 4 > m_size)
            return 0;
        return m_swapped ? qFromBigEndian<quint32>(m_data + offset)
                         : qFromLittleEndian<quint32>(m_data + offset);
    }

    std::string_view string(quint32 table, quint32 index) const
    {
        const qint64 entry = qint64(table) + 8 * qint64(index);
        const qint64 length = word(entry), offset = word(entry + 4);
        if (offset + length > m_size)
            return {};
        return {reinterpret_cast<const char *>(m_data + offset), size_t(length)};
    }

    QFile m_file;
    const uchar *m_data = nullptr;
    qint64 m_size = 0;
    bool m_swapped = false;
    quint32 m_count = 0, m_originals = 0, m_translations = 0;
};

// ISO's qualifiers tell languages apart in a table, not in a menu: "Occitan (post 1500)".
QString withoutQualifier(QString name)
{
    name = name.trimmed();
    const qsizetype open = name.lastIndexOf(QLatin1String(" ("));
    if (open > 0 && name.endsWith(QLatin1Char(')')))
        name.truncate(open);
    return name;
}

// The value of "key": "value" in an entry, where codes need no escapes.
QByteArray field(std::string_view entry, std::string_view key)
{
    const size_t at = entry.find(key);
    const size_t open = at == entry.npos ? at : entry.find('"', at + key.size());
    const size_t close = open == entry.npos ? open : entry.find('"', open + 1);
    return close == entry.npos ? QByteArray()
                               : QByteArray::fromRawData(entry.data() + open + 1, close - open - 1);
}

// Calls found() with each entry of an iso-codes table, the text of its object: only those asked
// for are parsed, since a document of all 7,900 languages leaves megabytes of freed small blocks in
// the heap.
template <typename Found> void forEachEntry(const QString &path, Found found)
{
    QFile file(path);
    const uchar *data = file.open(QIODevice::ReadOnly) ? file.map(0, file.size()) : nullptr;
    const std::string_view text(reinterpret_cast<const char *>(data), data ? file.size() : 0);
    int depth = 0;
    for (size_t i = 0, start = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                i += text[i] == '\\';
        } else if (text[i] == '{' && ++depth == 2) {
            start = i;
        } else if (text[i] == '}' && depth-- == 2) {
            found(text.substr(start, i + 1 - start));
        }
    }
}

QJsonObject parsed(std::string_view entry)
{
    return QJsonDocument::fromJson(QByteArray(entry.data(), qsizetype(entry.size()))).object();
}

} // namespace

IsoCodes::IsoCodes(const QString &jsonFolder, const QString &localeFolder)
    : m_jsonFolder(jsonFolder), m_localeFolder(localeFolder)
{}

QHash<QString, IsoCodes::Language> IsoCodes::languages(const QStringList &codes) const
{
    QHash<QString, Language> found;
    QSet<QByteArray> wanted;
    for (const QString &code : codes)
        wanted.insert(code.toUtf8());
    forEachEntry(m_jsonFolder + QStringLiteral("/iso_639-3.json"), [&](std::string_view entry) {
        if (wanted.contains(field(entry, "\"alpha_2\"")) ||
            wanted.contains(field(entry, "\"alpha_3\"")))
            add(parsed(entry), wanted, found);
    });
    for (const QString &code : codes) {
        if (!found.contains(code))
            found.insert(code, {code, {}, code});
    }
    return found;
}

QString IsoCodes::country(const QString &alpha2, const QString &language) const
{
    QString english;
    const QByteArray wanted = alpha2.toUtf8();
    forEachEntry(m_jsonFolder + QStringLiteral("/iso_3166-1.json"), [&](std::string_view entry) {
        if (english.isEmpty() && field(entry, "\"alpha_2\"") == wanted) {
            // "Bolivia", not "Bolivia, Plurinational State of"
            const QJsonObject object = parsed(entry);
            english = object.value(QLatin1String("common_name"))
                          .toString(object.value(QLatin1String("name")).toString());
        }
    });
    if (language.isEmpty() || english.isEmpty())
        return english;
    return translated(QStringLiteral("iso_3166-1"), language, english);
}

QString IsoCodes::translated(const QString &domain, const QString &language,
                             const QString &english) const
{
    const Catalogue catalogue(
        QStringLiteral("%1/%2/LC_MESSAGES/%3.mo").arg(m_localeFolder, language, domain));
    return catalogue.translate(english.toStdString());
}

void IsoCodes::add(const QJsonObject &entry, const QSet<QByteArray> &wanted,
                   QHash<QString, Language> &found) const
{
    const QString alpha2 = entry.value(QLatin1String("alpha_2")).toString();
    const QString alpha3 = entry.value(QLatin1String("alpha_3")).toString();
    const QString english = entry.value(QLatin1String("name")).toString();
    const QString code = alpha2.isEmpty() ? alpha3 : alpha2;
    QString own = withoutQualifier(translated(QStringLiteral("iso_639-3"), code, english));
    if (!own.isEmpty())
        own[0] = own.at(0).toUpper();
    for (const QString &asked : {alpha2, alpha3}) {
        if (!asked.isEmpty() && wanted.contains(asked.toUtf8()))
            found.insert(asked, {code, own, withoutQualifier(english)});
    }
}
