#pragma once

#include "platform/windowproc.h"

#include <QIcon>

namespace platform {

// The notification-area icon. The owning window receives the icon's notifications through its
// window procedure as the callback message, with the icon's identifier as wParam and the mouse
// message that happened over the icon in the low word of lParam.
inline constexpr UINT NIM_ADD = 0;
inline constexpr UINT NIM_MODIFY = 1;
inline constexpr UINT NIM_DELETE = 2;

inline constexpr UINT NIF_MESSAGE = 1;
inline constexpr UINT NIF_ICON = 2;
inline constexpr UINT NIF_TIP = 4;

inline constexpr UINT WM_LBUTTONUP = 0x202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x203;
inline constexpr UINT WM_RBUTTONDOWN = 0x204;
inline constexpr UINT WM_RBUTTONUP = 0x205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x206;

struct NOTIFYICONDATA
{
    quint32 cbSize = 0;
    HWND hWnd = nullptr;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    QIcon hIcon;
    char szTip[64] = {};
};

// NIM_ADD, NIM_MODIFY or NIM_DELETE for the icon named by hWnd and uID. False when the icon to
// add already exists or the one to change or delete does not.
bool Shell_NotifyIcon(UINT message, NOTIFYICONDATA &data);

} // namespace platform
