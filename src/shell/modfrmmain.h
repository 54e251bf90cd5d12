#pragma once

#include "platform/windowproc.h"

// The main window's hook: it answers the hot key message and passes everything else on.
extern platform::HWND MainWindowHandle;
extern platform::WNDPROC PreviousMainWindowProc;

void HookMainWindow(platform::HWND window);
void UnhookMainWindow();
platform::LRESULT MainWindowProc(platform::HWND hWnd, platform::UINT uMsg, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
