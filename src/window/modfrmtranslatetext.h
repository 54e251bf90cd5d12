#pragma once

#include "platform/windowproc.h"

// Keeps the translation window from being sized below the size at which its layout still fits.
namespace modFrmTranslateText {

extern platform::HWND TranslateWindowHandle;
extern platform::WNDPROC PreviousTranslateWindowProc;

void HookTranslateWindow(platform::HWND hWnd);
void UnhookTranslateWindow();

// Answers the minimum size query; passes every other message on unchanged.
platform::LRESULT TranslateWindowProc(platform::HWND hWnd, platform::UINT uMsg,
                                      platform::WPARAM wParam, platform::LPARAM lParam);

} // namespace modFrmTranslateText
