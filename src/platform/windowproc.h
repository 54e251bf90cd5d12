#pragma once

#include <QtGlobal>

#include <functional>

class QWidget;

namespace platform {

// Window procedures: each window has a current procedure that the platform delivers the hooked
// messages to (the hot key, the tray callback, the minimum size query). A program module can
// replace it and pass what it does not handle to the procedure it replaced.
using HWND = QWidget *;
using UINT = quint32;
using WPARAM = quintptr;
using LPARAM = qintptr;
using LRESULT = qintptr;
using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr UINT WM_GETMINMAXINFO = 0x24;
inline constexpr UINT WM_MOUSEMOVE = 0x200;
inline constexpr UINT WM_HOTKEY = 0x312;

struct POINT
{
    qint32 x = 0;
    qint32 y = 0;
};

struct MINMAXINFO
{
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};
static_assert(sizeof(MINMAXINFO) == 40);

// Installs a new procedure and returns the one it replaces (the window's stock procedure the
// first time). Only GWL_WNDPROC is supported.
WNDPROC SetWindowLong(HWND window, int index, WNDPROC procedure);
LRESULT CallWindowProc(const WNDPROC &procedure, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam);
// Delivers a message to the window's current procedure.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The stock behaviour behind every window: the minimum size query is answered with what the
// system filled in, a mouse-move message reaches the form's mouse-move handler, the rest gives 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks the window's procedure for its minimum tracking size and applies it as its minimum size.
// Called whenever the minimum may have changed.
void RefreshMinimumSize(HWND window);

inline constexpr quint16 LoWord(LPARAM value)
{
    return static_cast<quint16>(value & 0xFFFF);
}

} // namespace platform
