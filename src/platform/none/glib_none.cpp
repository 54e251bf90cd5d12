#include "platform/glib/glib.h"

// Stands in for the GLib backend in a build without GLib: Windows, which reads no BROWSER.
namespace platform::glib {

QStringList ShellParseArgv(const QString &)
{
    return {};
}

} // namespace platform::glib
