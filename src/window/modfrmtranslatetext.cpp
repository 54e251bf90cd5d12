#include "window/modfrmtranslatetext.h"

#include "platform/form.h"
#include "platform/webbrowser.h"

#include <QtMath>

#include <cstring>

using namespace platform;

namespace modFrmTranslateText {

// Qt for Windows declares a global HWND of its own.
using platform::HWND;

HWND TranslateWindowHandle = nullptr;
WNDPROC PreviousTranslateWindowProc;

namespace {

constexpr int MinimumWidth = 275; // pixels, without the banner
constexpr int MinimumHeight = 355;

} // namespace

void HookTranslateWindow(HWND hWnd)
{
    TranslateWindowHandle = hWnd;
    PreviousTranslateWindowProc = SetWindowLong(hWnd, GWL_WNDPROC, &TranslateWindowProc);
}

void UnhookTranslateWindow()
{
    SetWindowLong(TranslateWindowHandle, GWL_WNDPROC, PreviousTranslateWindowProc);
}

LRESULT TranslateWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_GETMINMAXINFO)
        return CallWindowProc(PreviousTranslateWindowProc, hWnd, uMsg, wParam, lParam);

    MINMAXINFO info;
    std::memcpy(&info, reinterpret_cast<const void *>(lParam), sizeof info);
    // Through the hooked window rather than the instance accessor: the query also comes while
    // the window is still being created.
    const auto *banner =
        TranslateWindowHandle
            ? TranslateWindowHandle->findChild<const WebBrowser *>(QStringLiteral("webBanner"))
            : nullptr;
    if (banner && banner->Visible())
        info.ptMinTrackSize.x = qRound(WidthTwips(banner) / double(TwipsPerPixel) + MinimumWidth);
    else
        info.ptMinTrackSize.x = MinimumWidth;
    info.ptMinTrackSize.y = MinimumHeight;
    std::memcpy(reinterpret_cast<void *>(lParam), &info, sizeof info);
    return 0;
}

} // namespace modFrmTranslateText
