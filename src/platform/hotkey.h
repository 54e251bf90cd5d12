#pragma once

#include "platform/keys.h"
#include "platform/windowproc.h"

namespace platform {

// Registers a system-wide key combination (virtual key: 'A' to 'Z' or '0' to '9') for a window.
// Each press delivers WM_HOTKEY with the identifier as wParam to the window's current procedure.
// An X11 grab, or under Wayland the desktop's GlobalShortcuts portal, which answers later and may
// bind another key or none: that is logged, never shown. False when another program holds the
// combination (logged once) or the desktop has no global keys (said once on standard error).
bool RegisterHotKey(HWND window, int id, unsigned modifiers, unsigned virtualKey);

// Releases what RegisterHotKey took for that window and identifier. False when it took nothing.
bool UnregisterHotKey(HWND window, int id);

// WM_HOTKEY to the window's procedure, posted, since the procedure may pump
// messages and show windows, and held while a transfer waits. Nothing when the window is gone.
void PostHotKey(QWidget *window, int id);

} // namespace platform
