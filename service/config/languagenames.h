#pragma once

#include "config/isocodes.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The codes and names the settings answer gives the languages of Apertium's modes. A variant adds
// its name to its language's: a region its country's, from iso-codes, and any other the name the
// table of the service's data folder gives it (language-variants.ini), which wins.
class LanguageNames
{
public:
    struct Language
    {
        QString code; // ISO 639-1 where there is one, with the variant: "ca_valencia"
        QString name; // ISO-8859-1: "Català (valencià)", "Russian", or the code
    };

    explicit LanguageNames(const IsoCodes &iso = IsoCodes(),
                           const QString &table = installedTable());

    // The table beside the program: PREFIX/share/lexorn-service, in the build tree as installed.
    static QString installedTable();

    // By the codes asked for, as modes write them ("eng", "cat_valencia"). A name is in the
    // language's own words, variant and all, where they have it and Latin-1 carries it; else in
    // English, and else the code.
    QHash<QString, Language> languages(const QStringList &codes) const;

private:
    struct Names
    {
        QString english;
        QString own; // may be missing
    };
    Names variant(const QString &language, const QString &variant) const;

    IsoCodes m_iso;
    QHash<QString, Names> m_table; // by our code with the variant
};
