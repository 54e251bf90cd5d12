#include "platform/glib/glib.h"

// After Qt's headers, as with X11's.
#include <glib.h>

namespace platform::glib {

QStringList ShellParseArgv(const QString &commandLine)
{
    QStringList words;
    gchar **argv = nullptr;
    if (!g_shell_parse_argv(commandLine.toUtf8().constData(), nullptr, &argv, nullptr))
        return words;
    for (gchar **word = argv; *word; ++word)
        words.append(QString::fromUtf8(*word));
    g_strfreev(argv);
    return words;
}

} // namespace platform::glib
