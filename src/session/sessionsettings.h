#pragma once

#include <QList>
#include <QString>

// Version of the settings format: sent with the request, and the answer must carry the same.
inline const QString DataVersion = QStringLiteral("1.0.1");

struct Provider
{
    qint32 Id = 0;
    QString ResultStart;
    QString ResultEnd;
    QString UrlTemplate;
    QString Extra1;
    QString SourceLanguage; // index into Languages, as decimal text
    QString TargetLanguage;
    QString Extra2;
    QString Extra3;
};

struct Language
{
    QString Code;
    QString Name;
};

struct SessionSettingsRecord
{
    QList<Provider> Providers;
    QList<Language> Languages;
    QString TranslatingLink;
    QString BannerLink;
    QString WelcomeLink;
    QString FindTranLink;
    QString UserId;
    qint32 Level = 0;
    qint16 Cap = 0;
};

// The session of this run: written once by LoadSettings, read by everything else.
extern SessionSettingsRecord SessionSettings;
