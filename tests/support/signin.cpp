#include "support/signin.h"

#include "platform/identity.h"
#include "platform/settingsstore.h"
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
    ProcessEndTrap trap;
    try {
        const bool result = LoadSettings();
        if (returned)
            *returned = result;
        return -1;
    } catch (const ProcessEnded &ended) {
        return ended.status;
    }
}
