#pragma once

#include <QString>

#include <memory>

class QSettings;

// The freedesktop backend: the user's browser as BROWSER names it, else the desktop's handler
// through xdg-open; the settings file under XDG_CONFIG_HOME. It splits BROWSER's commands with
// glib/. Where the build is for Windows, none/xdg_none.cpp answers for it.
namespace platform::xdg {

// A build for a freedesktop system. What it starts is looked for at each call: built is active.
inline constexpr bool Built = LEXORN_XDG_BUILT;

// BROWSER's commands in turn, then xdg-open, without waiting; mail goes to the desktop's mail
// program, not to a browser. False when none of them starts.
bool ShellExecute(const QString &address);

// The application's settings file, which holds the password: it exists and is private to its
// owner before anything is written to it, also when it was made elsewhere with wider permissions.
std::unique_ptr<QSettings> OpenSettings(const QString &organization, const QString &application);

} // namespace platform::xdg
