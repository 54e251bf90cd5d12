#include "platform/x11/x11.h"

// Stands in for the X11 backend in a build without xcb.
namespace platform::x11 {

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

QMargins FrameExtents(QWidget *)
{
    return {};
}

bool XEmbedTrayInUse()
{
    return false;
}

void WatchXEmbedIcons(std::function<void(const QSystemTrayIcon *, bool)>) {}

void LearnXEmbedIcon(QSystemTrayIcon *) {}

xcb_connection_t *Connection()
{
    return nullptr;
}

} // namespace platform::x11
