#pragma once

#include "platform/windowproc.h"

#include <QList>
#include <QtGlobal>

// Slot i holds i; a hot key's identifier is the index of its slot. Slot 0 names no hot key.
extern QList<qint32> HotKeyIds;
// The slot of Windows+T, the first hot key added.
inline constexpr qint32 TranslateHotKeyId = 1;

// The main window's hook: it reports the hot key message and passes everything else on.
extern platform::HWND MainWindowHandle;
extern platform::WNDPROC PreviousMainWindowProc;

void HookMainWindow(platform::HWND window);
void UnhookMainWindow();
platform::LRESULT MainWindowProc(platform::HWND hWnd, platform::UINT uMsg, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
