#include "shell/modtrayicon.h"

using namespace platform;

namespace {

// The size of the shell's original record, which ends after the tip.
constexpr quint32 NotifyIconDataSize = 88;
constexpr quint32 TrayIconId = 1;

} // namespace

NOTIFYICONDATA TrayIconData;

void AddTrayIcon(const QIcon &icon, QWidget *window)
{
    TrayIconData.cbSize = NotifyIconDataSize;
    TrayIconData.uID = TrayIconId;
    TrayIconData.hWnd = window;
    TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // The mouse-move message, so that the window's own mouse-move handler decodes the clicks.
    TrayIconData.uCallbackMessage = WM_MOUSEMOVE;
    TrayIconData.hIcon = icon;
    Shell_NotifyIcon(NIM_ADD, TrayIconData);
}

void RemoveTrayIcon(QWidget *window)
{
    TrayIconData.cbSize = NotifyIconDataSize;
    TrayIconData.hWnd = window;
    TrayIconData.uID = TrayIconId;
    Shell_NotifyIcon(NIM_DELETE, TrayIconData);
}
