#include "platform/xdg/xdg.h"

// Stands in for the freedesktop backend in a build for Windows, whose shell opens addresses.
namespace platform::xdg {

bool ShellExecute(const QString &)
{
    return false;
}

} // namespace platform::xdg
