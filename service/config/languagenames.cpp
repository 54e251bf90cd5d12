#include "config/languagenames.h"

#include "config/config.h"
#include "config/inifile.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// As ISO 3166-1 writes a country: "BR" of pt_BR.
bool isRegion(const QString &variant)
{
    return variant.size() == 2 && std::all_of(variant.cbegin(), variant.cend(), [](QChar c) {
               return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
           });
}

QString withVariant(const QString &name, const QString &variant)
{
    return variant.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, variant);
}

} // namespace

LanguageNames::LanguageNames(const IsoCodes &iso, const QString &table) : m_iso(iso)
{
    IniFile ini;
    QString error;
    if (!ini.load(table, error)) {
        qWarning("language variants are named by their codes: %s (%s)", qPrintable(error),
                 qPrintable(table));
        return;
    }
    for (const IniSection &section : std::as_const(ini.sections)) {
        for (const IniEntry &entry : section.entries) {
            m_table.insert(section.name + QLatin1Char('_') + entry.key,
                           {entry.value.section(QLatin1Char('|'), 0, 0).trimmed(),
                            entry.value.section(QLatin1Char('|'), 1).trimmed()});
        }
    }
}

QString LanguageNames::installedTable()
{
    return QCoreApplication::applicationDirPath() +
           QStringLiteral("/" LEXORN_SERVICE_DATA "/language-variants.ini");
}

QHash<QString, LanguageNames::Language> LanguageNames::languages(const QStringList &codes) const
{
    QStringList bases;
    for (const QString &code : codes)
        bases.append(code.section(QLatin1Char('_'), 0, 0));
    bases.removeDuplicates();
    const QHash<QString, IsoCodes::Language> known = m_iso.languages(bases);

    QHash<QString, Language> found;
    for (const QString &code : codes) {
        const IsoCodes::Language language = known.value(code.section(QLatin1Char('_'), 0, 0));
        const QString suffix = code.section(QLatin1Char('_'), 1);
        const Names names = suffix.isEmpty() ? Names() : variant(language.code, suffix);
        const QString ours =
            suffix.isEmpty() ? language.code : language.code + QLatin1Char('_') + suffix;
        const QString own =
            withVariant(language.own, names.own.isEmpty() ? names.english : names.own);
        const QString english = withVariant(language.english, names.english);
        // The settings answer is Latin-1: "русский" goes out as "Russian".
        found.insert(code, {ours, !language.own.isEmpty() && isLatin1(own) ? own
                                  : isLatin1(english)                      ? english
                                                                           : ours});
    }
    return found;
}

LanguageNames::Names LanguageNames::variant(const QString &language, const QString &variant) const
{
    const auto listed = m_table.constFind(language + QLatin1Char('_') + variant);
    if (listed != m_table.cend())
        return *listed;
    const QString country = isRegion(variant) ? m_iso.country(variant) : QString();
    if (!country.isEmpty())
        return {country, m_iso.country(variant, language)};
    return {QString(variant).replace(QLatin1Char('_'), QLatin1Char(' ')), {}};
}
