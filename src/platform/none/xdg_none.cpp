#include "platform/xdg/xdg.h"

#include <QSettings>

// Stands in for the freedesktop backend in a build for Windows, whose shell opens addresses and
// whose registry keeps the settings.
namespace platform::xdg {

bool ShellExecute(const QString &)
{
    return false;
}

std::unique_ptr<QSettings> OpenSettings(const QString &, const QString &)
{
    return nullptr;
}

} // namespace platform::xdg
