#include "platform/identity.h"

#include <QtGlobal>

namespace platform {

QString AppTitle()
{
    return QStringLiteral("Lexorn");
}

QString CompanyName()
{
    return QStringLiteral("Korvath");
}

QString VersionNumber()
{
    return QStringLiteral("%1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision);
}

QString VersionText()
{
    return QStringLiteral("Version ") + VersionNumber();
}

QString ServiceHost()
{
    const QString overridden = qEnvironmentVariable("LEXORN_SERVICE_HOST");
    return overridden.isEmpty() ? QStringLiteral(LEXORN_SERVICE_HOST_DEFAULT) : overridden;
}

} // namespace platform
