#include "platform/hotkey.h"

#include "platform/hotkeybackends.h"

#include <QGuiApplication>

#include <cstdio>
#include <utility>

namespace platform {
namespace {

#ifdef LEXORN_DBUS
// Under Wayland an X11 grab sees the keys only while an X11 window has the focus.
bool waylandSession()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
           qgetenv("XDG_SESSION_TYPE") == "wayland";
}
#endif

} // namespace

QString combinationName(unsigned modifiers, QChar key, const std::array<const char *, 4> &names)
{
    constexpr std::array<unsigned, 4> order{MOD_CONTROL, MOD_ALT, MOD_SHIFT, MOD_WIN};
    QString name;
    for (size_t i = 0; i < order.size(); ++i) {
        if (modifiers & order[i])
            name += QLatin1String(names[i]) + QLatin1Char('+');
    }
    return name + key;
}

// The parameters go unused where the build found no backend.
bool RegisterHotKey([[maybe_unused]] HWND window, [[maybe_unused]] int id,
                    [[maybe_unused]] unsigned modifiers, [[maybe_unused]] unsigned virtualKey)
{
#ifdef LEXORN_DBUS
    if (waylandSession() && portal::Available())
        return portal::RegisterHotKey(window, id, modifiers, virtualKey);
#endif
#ifdef LEXORN_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return x11::RegisterHotKey(window, id, modifiers, virtualKey);
#endif
    static bool told = false;
    if (!std::exchange(told, true))
        std::fputs("lexorn: this desktop gives no global hot key; bind a key to lexorn --show\n",
                   stderr);
    return false;
}

bool UnregisterHotKey([[maybe_unused]] HWND window, [[maybe_unused]] int id)
{
    bool released = false;
#ifdef LEXORN_DBUS
    released = portal::UnregisterHotKey(window, id) || released;
#endif
#ifdef LEXORN_X11
    released = x11::UnregisterHotKey(window, id) || released;
#endif
    return released;
}

} // namespace platform
