#include "platform/dbus/dbus.h"

// Stands in for the D-Bus backend in a build without Qt D-Bus: no portal, and a tray that can
// always show, as under X11.
namespace platform::dbus {

bool Active()
{
    return false;
}

bool RegisterHotKey(QWidget *, int, unsigned, unsigned, std::function<void()>)
{
    return false;
}

bool UnregisterHotKey(QWidget *, int)
{
    return false;
}

void WhenTrayCanShow(QObject *, std::function<void()> make)
{
    make();
}

} // namespace platform::dbus
