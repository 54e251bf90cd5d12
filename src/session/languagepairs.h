#pragma once

#include "session/sessionsettings.h"

#include <QList>
#include <QString>

// One entry of the translation window's pair list: copies of its provider's language indexes.
struct LanguagePair
{
    QString SourceLanguage; // index into Languages, as decimal text
    QString TargetLanguage;
};

// Entry i belongs to provider i and to entry i of the window's pair list.
extern QList<LanguagePair> LanguagePairs;

// The language that an index text names, or none when it is no number or names no slot.
const Language *LanguageAt(const QString &index);

// The code of the language that an index text names; empty when it names none.
QString codeOf(const QString &languageIndex);
