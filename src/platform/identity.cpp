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

QString VersionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionRevision);
}

QString ServiceHost()
{
    const QString overridden = qEnvironmentVariable("LEXORN_SERVICE_HOST");
    return overridden.isEmpty() ? QStringLiteral(LEXORN_SERVICE_HOST_DEFAULT) : overridden;
}

} // namespace platform
