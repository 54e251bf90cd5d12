#pragma once

#include <QList>
#include <QString>

// A plain INI reader. Values are taken literally (no quoting, no escapes, no lists), so markers and
// address templates can be written as they are sent; a key may repeat within a section.
struct IniEntry
{
    QString key;
    QString value;
    int line = 0;
};

struct IniSection
{
    QString name;
    QList<IniEntry> entries;
    int line = 0;
};

struct IniFile
{
    QList<IniSection> sections;

    // Reads the file as UTF-8. Lines beginning with ';' or '#' are comments.
    bool load(const QString &path, QString &error);
    bool parse(const QString &text, QString &error);
};
