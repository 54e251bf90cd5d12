#include "platform/hotkey.h"

#include "platform/dbus/dbus.h"
#include "platform/pump.h"
#include "platform/win/win.h"
#include "platform/x11/x11.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <cstdio>
#include <utility>

namespace platform {
namespace {

// Under Wayland an X11 grab sees the keys only while an X11 window has the focus.
bool waylandSession()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
           qgetenv("XDG_SESSION_TYPE") == "wayland";
}

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

void PostHotKey(QWidget *window, int id)
{
    // WM_HOTKEY is no user input to Qt: held back by hand, it waits out a transfer as keys do.
    PostBetweenTransfers([window = QPointer<QWidget>(window), id] {
        if (window)
            SendMessage(window, WM_HOTKEY, WPARAM(id), 0);
    });
}

// The backends in the order they serve: a backend the build left out says it is not available.
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey)
{
    if (win::Built)
        return win::RegisterHotKey(window, id, modifiers, virtualKey);
    if (waylandSession() && dbus::Active())
        return dbus::RegisterHotKey(window, id, modifiers, virtualKey);
    if (x11::Active())
        return x11::RegisterHotKey(window, id, modifiers, virtualKey);
    static bool told = false;
    if (!std::exchange(told, true))
        std::fputs("lexorn: this desktop gives no global hot key; bind a key to lexorn --show\n",
                   stderr);
    return false;
}

bool UnregisterHotKey(HWND window, int id)
{
    const bool fromPortal = dbus::UnregisterHotKey(window, id);
    const bool fromWindows = win::UnregisterHotKey(window, id);
    return x11::UnregisterHotKey(window, id) || fromPortal || fromWindows;
}

} // namespace platform
