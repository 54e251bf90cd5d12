#pragma once

#include "platform/windowproc.h"

#include <QMargins>

#include <functional>

struct xcb_connection_t;

// The X11 backend: key grabs on the root window and the window manager's frame extents. Where the
// build has no xcb, none/x11_none.cpp answers for it.
namespace platform::x11 {

// A build with xcb.
inline constexpr bool Built = LEXORN_X11_BUILT;
// Qt runs on xcb in this session.
bool Active();
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed);
bool UnregisterHotKey(HWND window, int id);
QMargins FrameExtents(QWidget *window);

// Qt's own connection to the X server, shared by the backend's files; null off xcb.
xcb_connection_t *Connection();

} // namespace platform::x11
