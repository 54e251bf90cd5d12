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

void PostHotKey(QWidget *window, int id)
{
    // WM_HOTKEY is no user input to Qt: held back by hand, it waits out a transfer as keys do.
    PostBetweenTransfers([window = QPointer<QWidget>(window), id] {
        if (window)
            SendMessage(window, WM_HOTKEY, WPARAM(id), 0);
    });
}

// The backends in the order they serve: a backend the build left out is never active. Each is
// handed what a press does, so that none needs this contract back.
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey)
{
    const auto pressed = [window = QPointer<QWidget>(window), id] { PostHotKey(window, id); };
    if (win::Built)
        return win::RegisterHotKey(window, id, modifiers, virtualKey, pressed);
    if (waylandSession() && dbus::Active())
        return dbus::RegisterHotKey(window, id, modifiers, virtualKey, pressed);
    if (x11::Active())
        return x11::RegisterHotKey(window, id, modifiers, virtualKey, pressed);
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
