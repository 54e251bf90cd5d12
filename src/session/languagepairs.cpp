#include "session/languagepairs.h"

QList<LanguagePair> LanguagePairs;

const Language *LanguageAt(const QString &index)
{
    bool ok = false;
    const int slot = index.toInt(&ok);
    if (!ok || slot < 0 || slot >= SessionSettings.Languages.size())
        return nullptr;
    return &SessionSettings.Languages.at(slot);
}

QString codeOf(const QString &languageIndex)
{
    const Language *language = LanguageAt(languageIndex);
    return language ? language->Code : QString();
}
