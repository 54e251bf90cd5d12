#pragma once

#include <QMargins>

#include <functional>

class QSystemTrayIcon;
class QWidget;
struct xcb_connection_t;

// The X11 backend: key grabs on the root window, the window manager's frame extents and the mouse
// on Qt's XEmbed tray icons. Where the build has no xcb, none/x11_none.cpp answers for it.
namespace platform::x11 {

// A build with xcb.
inline constexpr bool Built = LEXORN_X11_BUILT;
// Qt runs on xcb in this session.
bool Active();
bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed);
bool UnregisterHotKey(QWidget *window, int id);
QMargins FrameExtents(QWidget *window);

// Qt shows its icons in an XEmbed tray (not through a StatusNotifier host).
bool XEmbedTrayInUse();
// From the first call on, the right button's release and double click on an XEmbed icon, which
// Qt does not report, go to rightButton with the icon (null while it is not known yet) and
// whether it was the release (else the double click). Later calls change nothing.
void WatchXEmbedIcons(std::function<void(const QSystemTrayIcon *, bool)> rightButton);
// As Qt reports an activation of an icon on an XEmbed tray: the widget pressed is that icon's.
void LearnXEmbedIcon(QSystemTrayIcon *icon);

// Qt's own connection to the X server, shared by the backend's files; null off xcb.
xcb_connection_t *Connection();

} // namespace platform::x11
