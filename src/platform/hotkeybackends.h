#pragma once

#include "platform/windowproc.h"

// The system code behind RegisterHotKey: the X11 grab where xcb was found at build time, the
// portal where Qt D-Bus was. Each gives false where it does not serve this session.
namespace platform::x11 {
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey);
bool UnregisterHotKey(HWND window, int id);
} // namespace platform::x11

namespace platform::portal {
// True when the desktop's portal is on the session bus or can be started there. One without
// GlobalShortcuts then refuses the binding, which is logged.
bool Available();
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey);
bool UnregisterHotKey(HWND window, int id);
} // namespace platform::portal
