#include "platform/hotkey.h"
#include "platform/win/win.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QList>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <utility>

// windows.h defines macros (WM_HOTKEY, MOD_WIN) over the platform's own names: it comes last.
#include <windows.h>

namespace platform::win {
namespace {

Q_LOGGING_CATEGORY(lcHotKey, "lexorn.hotkey")

struct Registration
{
    QPointer<QWidget> window;
    ::HWND handle = nullptr;
    int id = 0;
};

class HotKeyFilter : public QAbstractNativeEventFilter
{
public:
    QList<Registration> registrations;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const auto *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_HOTKEY)
            return false;
        for (const Registration &registration : std::as_const(registrations)) {
            if (registration.handle != msg->hwnd || WPARAM(registration.id) != msg->wParam)
                continue;
            PostHotKey(registration.window, registration.id);
            return true;
        }
        return false;
    }
};

// Installed while a hot key is registered.
HotKeyFilter *hotKeyFilter = nullptr;

} // namespace

bool Available()
{
    return true;
}

bool RegisterHotKey(platform::HWND window, int id, unsigned modifiers, unsigned virtualKey)
{
    if (!window)
        return false;
    const auto handle = reinterpret_cast<::HWND>(window->winId());
    if (!::RegisterHotKey(handle, id, modifiers | MOD_NOREPEAT, virtualKey)) {
        // Windows 7 and later keep Win+T for the taskbar: the user can do nothing about it at
        // every start, so it is said once and not shown.
        static bool told = false;
        if (!std::exchange(told, true))
            qCWarning(lcHotKey, "%s is held by another program or by Windows",
                      qUtf8Printable(combinationName(modifiers, QChar(char16_t(virtualKey)),
                                                     {"Ctrl", "Alt", "Shift", "Win"})));
        return false;
    }
    if (!hotKeyFilter) {
        hotKeyFilter = new HotKeyFilter;
        QCoreApplication::instance()->installNativeEventFilter(hotKeyFilter);
    }
    hotKeyFilter->registrations.append({window, handle, id});
    return true;
}

bool UnregisterHotKey(platform::HWND window, int id)
{
    if (!hotKeyFilter)
        return false;
    QList<Registration> &registrations = hotKeyFilter->registrations;
    const auto held = std::find_if(
        registrations.begin(), registrations.end(), [window, id](const Registration &registration) {
            return registration.window == window && registration.id == id;
        });
    if (held == registrations.end())
        return false;
    ::UnregisterHotKey(held->handle, id);
    registrations.erase(held);
    if (registrations.isEmpty()) {
        QCoreApplication::instance()->removeNativeEventFilter(hotKeyFilter);
        delete hotKeyFilter;
        hotKeyFilter = nullptr;
    }
    return true;
}

} // namespace platform::win
