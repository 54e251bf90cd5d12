#include "platform/win/win.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

// windows.h defines macros over the platform's own names: it comes last.
#include <windows.h>

namespace platform::win {
namespace {

// A call of Windows 10 1607 and later, looked up where the program runs.
template <class Function> Function user32(const char *name)
{
    const HMODULE module = ::GetModuleHandleW(L"user32.dll");
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(module ? ::GetProcAddress(module, name) : nullptr));
}

} // namespace

bool Active()
{
    // Elsewhere (offscreen, say) there is no native window and no frame.
    return QGuiApplication::platformName() == QLatin1String("windows");
}

QMargins FrameExtents(QWidget *window)
{
    if (!window)
        return {};
    // The native window exists before it is shown once winId() is asked for, with the styles it
    // will be shown with.
    const auto handle = reinterpret_cast<::HWND>(window->winId());
    const DWORD style = DWORD(::GetWindowLongPtrW(handle, GWL_STYLE));
    const DWORD exStyle = DWORD(::GetWindowLongPtrW(handle, GWL_EXSTYLE));
    // A monitor scaled otherwise than the system has a frame of its own size.
    using AdjustForDpi = BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT);
    using DpiOfWindow = UINT(WINAPI *)(::HWND);
    static const auto adjustForDpi = user32<AdjustForDpi>("AdjustWindowRectExForDpi");
    static const auto dpiOfWindow = user32<DpiOfWindow>("GetDpiForWindow");
    RECT rect{0, 0, 0, 0};
    const bool adjusted = adjustForDpi && dpiOfWindow
                              ? adjustForDpi(&rect, style, FALSE, exStyle, dpiOfWindow(handle))
                              : ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    if (!adjusted)
        return {};
    const qreal ratio = window->devicePixelRatioF();
    const auto logical = [ratio](LONG pixels) { return qRound(qAbs(pixels) / ratio); };
    return QMargins(logical(rect.left), logical(rect.top), logical(rect.right),
                    logical(rect.bottom));
}

void SetOwner(QWidget *window, QWidget *owner)
{
    owner->winId(); // the native windows, before either is shown
    window->winId();
    window->windowHandle()->setTransientParent(owner->windowHandle());
}

} // namespace platform::win
