#include "support/signin.h"

#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "session/sessionsettings.h"
#include "startup/modmain.h"
#include "support/recorders.h"

void storeCredentials(const QString &user, const QString &password)
{
    using namespace platform;
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Username"), user);
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Password"), password);
}

int loadSettingsEnding(bool *returned)
{
    bool result = false;
    const int status = endingOf([&result] { result = LoadSettings(); });
    if (returned)
        *returned = result;
    return status;
}
