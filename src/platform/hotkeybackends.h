#pragma once

#include "platform/windowproc.h"

#include <QString>

#include <array>

namespace platform {
// A combination as its reader writes it: the names of Ctrl, Alt, Shift and the logo key, in that
// order, each followed by '+', then the key.
QString combinationName(unsigned modifiers, QChar key, const std::array<const char *, 4> &names);
} // namespace platform

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
