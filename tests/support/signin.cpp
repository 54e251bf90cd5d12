#include "support/signin.h"

#include "platform/identity.h"
#include "platform/settingsstore.h"

void storeCredentials(const QString &user, const QString &password)
{
    using namespace platform;
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Username"), user);
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Password"), password);
}
