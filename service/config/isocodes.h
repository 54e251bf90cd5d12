#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

// Language codes and names from Debian's iso-codes: the ISO 639-3 and 3166-1 tables and their
// gettext catalogues, read where they are installed.
class IsoCodes
{
public:
    struct Language
    {
        QString code;    // ISO 639-1 where there is one, else the code asked for
        QString own;     // in the language itself, where its catalogue has the name
        QString english; // the code where the table lacks it
    };

    explicit IsoCodes(const QString &jsonFolder = QStringLiteral("/usr/share/iso-codes/json"),
                      const QString &localeFolder = QStringLiteral("/usr/share/locale"));

    // The languages of ISO 639 codes of two or three letters, by the code asked for. A code the
    // table lacks is its own code and name.
    QHash<QString, Language> languages(const QStringList &codes) const;
    // The common name of the country of an ISO 3166-1 code ("BR"): in English, or with a language
    // code in that language's words. Nothing where the table or the catalogue lacks it.
    QString country(const QString &alpha2, const QString &language = {}) const;

private:
    void add(const QJsonObject &entry, const QSet<QByteArray> &wanted,
             QHash<QString, Language> &found) const;
    QString translated(const QString &domain, const QString &language,
                       const QString &english) const;

    QString m_jsonFolder;
    QString m_localeFolder;
};
