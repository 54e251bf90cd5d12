#pragma once

#include <QStringList>

// The GLib backend: command lines split as a shell splits them, for xdg/'s BROWSER. GLib is in the
// process through Qt wherever Qt runs its event loop on it. Where the build has no GLib,
// none/glib_none.cpp answers for it.
namespace platform::glib {

// A build with GLib. GLib has nothing to find at run time: built is active.
inline constexpr bool Built = LEXORN_GLIB_BUILT;

// The words of a command line, with single and double quotes and backslashes read as /bin/sh reads
// them (g_shell_parse_argv), nothing expanded; none when a quote is left open.
QStringList ShellParseArgv(const QString &commandLine);

} // namespace platform::glib
