#include "platform/win/win.h"

#include <QGuiApplication>
#include <QWidget>

// windows.h defines macros over the platform's own names: it comes last.
#include <windows.h>

namespace platform::win {

QMargins FrameExtents(QWidget *window)
{
    // Elsewhere (offscreen, say) there is no native window and no frame.
    if (!window || QGuiApplication::platformName() != QLatin1String("windows"))
        return {};
    // The native window exists before it is shown once winId() is asked for, with the styles it
    // will be shown with.
    const auto handle = reinterpret_cast<::HWND>(window->winId());
    const DWORD style = DWORD(::GetWindowLongPtrW(handle, GWL_STYLE));
    const DWORD exStyle = DWORD(::GetWindowLongPtrW(handle, GWL_EXSTYLE));
    RECT rect{0, 0, 0, 0};
    if (!::AdjustWindowRectEx(&rect, style, FALSE, exStyle))
        return {};
    const qreal ratio = window->devicePixelRatioF();
    const auto logical = [ratio](LONG pixels) { return qRound(qAbs(pixels) / ratio); };
    return QMargins(logical(rect.left), logical(rect.top), logical(rect.right),
                    logical(rect.bottom));
}

} // namespace platform::win
