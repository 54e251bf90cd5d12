#include "window/modfrmmain.h"

#include "platform/hotkey.h"
#include "session/userrequests.h"

using namespace platform;

QList<qint32> HotKeyIds;
HWND MainWindowHandle = nullptr;
WNDPROC PreviousMainWindowProc;

void HookMainWindow(HWND window)
{
    MainWindowHandle = window;
    PreviousMainWindowProc = SetWindowLong(window, GWL_WNDPROC, &MainWindowProc);
}

void UnhookMainWindow()
{
    if (!MainWindowHandle)
        return;
    for (qint32 id : std::as_const(HotKeyIds))
        UnregisterHotKey(MainWindowHandle, id);
    SetWindowLong(MainWindowHandle, GWL_WNDPROC, PreviousMainWindowProc);
}

LRESULT MainWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_HOTKEY) {
        Q_EMIT UserRequests::instance().HotKeyPressed(quint8(wParam));
        return 1;
    }
    return CallWindowProc(PreviousMainWindowProc, hWnd, uMsg, wParam, lParam);
}
