#pragma once

#include "platform/windowproc.h"

// The system code behind RegisterHotKey: the X11 grab where xcb was found at build time, the
// portal where Qt D-Bus was. Each gives false where it does not serve this session.
namespace platform::x11 {
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey);
bool UnregisterHotKey(HWND window, int id);
} // namespace platform::x11

namespace platform::portal {
// True while the desktop's GlobalShortcuts portal is on the session bus.
bool Available();
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey);
bool UnregisterHotKey(HWND window, int id);
} // namespace platform::portal
