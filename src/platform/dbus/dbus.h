#pragma once

#include <functional>

class QObject;
class QWidget;

// The D-Bus backend: the desktop's GlobalShortcuts portal, and the wait for a StatusNotifier host.
// Where the build has no Qt D-Bus, none/dbus_none.cpp answers for it.
namespace platform::dbus {

// A build with Qt D-Bus.
inline constexpr bool Built = LEXORN_DBUS_BUILT;
// The desktop's portal is on the session bus or can be started there. One without
// GlobalShortcuts then refuses the binding, which is logged.
bool Active();
bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed);
bool UnregisterHotKey(QWidget *window, int id);

// Qt picks the kind of tray once, with its first icon: a StatusNotifier host if one is registered
// by then, XEmbed otherwise. Off X11 only a StatusNotifier host shows icons, so an icon made
// before the panel is up would never appear. Runs make now when an icon made now can show, or
// else once a StatusNotifier host registers, unless context is gone by then.
void WhenTrayCanShow(QObject *context, std::function<void()> make);

} // namespace platform::dbus
