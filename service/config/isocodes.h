#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

// Language codes and names from Debian's iso-codes: the ISO 639-3 table and its gettext
// catalogues, read where they are installed.
class IsoCodes
{
public:
    struct Language
    {
        QString code; // ISO 639-1 where there is one, else the code asked for
        QString name; // in the language itself where Latin-1 can carry it, else in English
    };

    explicit IsoCodes(const QString &jsonFolder = QStringLiteral("/usr/share/iso-codes/json"),
                      const QString &localeFolder = QStringLiteral("/usr/share/locale"));

    // The languages of ISO 639 codes of two or three letters, by the code asked for. A code the
    // table lacks is its own code and name.
    QHash<QString, Language> languages(const QStringList &codes) const;

private:
    void add(const QJsonObject &entry, const QSet<QByteArray> &wanted,
             QHash<QString, Language> &found) const;

    QString m_jsonFolder;
    QString m_localeFolder;
};
