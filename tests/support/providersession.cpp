#include "support/providersession.h"

#include "startup/sessionsettings.h"

void useProviderSession(const QString &urlTemplate)
{
    SessionSettings = {};
    SessionSettings.Languages = {Language{},
                                 Language{QStringLiteral("en"), QStringLiteral("English")},
                                 Language{QStringLiteral("de"), QStringLiteral("Deutsch")}};
    Provider provider;
    provider.SourceLanguage = QStringLiteral("1");
    provider.TargetLanguage = QStringLiteral("2");
    provider.UrlTemplate = urlTemplate;
    provider.ResultStart = QStringLiteral("[b]");
    provider.ResultEnd = QStringLiteral("[/b]");
    SessionSettings.Providers = {provider};
}
