#include "platform/keys.h"
#include "platform/win/win.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QList>
#include <QLoggingCategory>
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
    QWidget *window = nullptr; // dropped from the list as it is destroyed
    ::HWND handle = nullptr;
    int id = 0;
    unsigned modifiers = 0;
    unsigned virtualKey = 0;
    bool hooked = false; // taken by the keyboard hook, since the shell holds the combination
    std::function<void()> pressed;
};

QList<Registration> registrations;

// WM_HOTKEY, whether Windows posted it or the keyboard hook did, goes to the window's procedure.
class HotKeyFilter : public QAbstractNativeEventFilter
{
public:
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
            registration.pressed();
            return true;
        }
        return false;
    }
};

HotKeyFilter *hotKeyFilter = nullptr;

// The low-level keyboard hook that takes a combination the shell keeps for itself (Win+T since
// Windows 7). It runs on the GUI thread inside Windows' input delivery, which gives up on a hook
// that is slow: it only records and posts.
HHOOK keyboardHook = nullptr;
DWORD swallowedKey = 0; // the key taken, until its release has been swallowed too

// Asked of Windows rather than followed key by key: a release the hook never saw (one made while
// an elevated window had the focus) must not leave a modifier held.
unsigned heldModifiers()
{
    const auto held = [](int virtualKey) { return ::GetAsyncKeyState(virtualKey) < 0; };
    return (held(VK_LWIN) || held(VK_RWIN) ? MOD_WIN : 0) | (held(VK_SHIFT) ? MOD_SHIFT : 0) |
           (held(VK_CONTROL) ? MOD_CONTROL : 0) | (held(VK_MENU) ? MOD_ALT : 0);
}

// A key with no meaning, sent while Win is down: Windows then takes the Win press for part of a
// combination and does not open the Start menu on its release.
void sendMaskKey()
{
    constexpr WORD unassigned = 0xE8;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = unassigned;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam);
    if (code != HC_ACTION || (key->flags & LLKHF_INJECTED))
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
    // The key taken: its repeats and its release go nowhere either.
    if (key->vkCode == swallowedKey) {
        if (!down)
            swallowedKey = 0;
        return 1;
    }
    if (!down)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    for (const Registration &registration : std::as_const(registrations)) {
        if (!registration.hooked || registration.virtualKey != key->vkCode ||
            registration.modifiers != heldModifiers())
            continue;
        swallowedKey = key->vkCode;
        ::PostMessageW(registration.handle, WM_HOTKEY, WPARAM(registration.id), 0);
        if (registration.modifiers & MOD_WIN)
            sendMaskKey();
        return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

QString nameOf(unsigned modifiers, unsigned virtualKey)
{
    return combinationName(modifiers, QChar(char16_t(virtualKey)), {"Ctrl", "Alt", "Shift", "Win"});
}

// Windows 7 and later keep Win+T for the taskbar; where even the hook cannot be had, the user
// can do nothing about it at every start, so it is said once and not shown.
bool hook(unsigned modifiers, unsigned virtualKey)
{
    if (!keyboardHook)
        keyboardHook =
            ::SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, ::GetModuleHandleW(nullptr), 0);
    if (keyboardHook) {
        qCInfo(lcHotKey, "%s is held by Windows; a keyboard hook takes it",
               qUtf8Printable(nameOf(modifiers, virtualKey)));
        return true;
    }
    static bool told = false;
    if (!std::exchange(told, true))
        qCWarning(lcHotKey,
                  "%s is held by another program or by Windows, and no keyboard hook "
                  "could be set",
                  qUtf8Printable(nameOf(modifiers, virtualKey)));
    return false;
}

} // namespace

bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed)
{
    if (!window)
        return false;
    const auto handle = reinterpret_cast<::HWND>(window->winId());
    const bool registered = ::RegisterHotKey(handle, id, modifiers | MOD_NOREPEAT, virtualKey);
    if (registered)
        qCInfo(lcHotKey, "%s is registered", qUtf8Printable(nameOf(modifiers, virtualKey)));
    else if (::GetLastError() != ERROR_HOTKEY_ALREADY_REGISTERED || !hook(modifiers, virtualKey))
        return false;
    if (!hotKeyFilter) {
        hotKeyFilter = new HotKeyFilter;
        QCoreApplication::instance()->installNativeEventFilter(hotKeyFilter);
    }
    registrations.append(
        {window, handle, id, modifiers, virtualKey, !registered, std::move(pressed)});
    // The hook goes with the window, as a registration does with its native window.
    QObject::connect(window, &QObject::destroyed, qApp,
                     [id, window] { UnregisterHotKey(window, id); });
    return true;
}

bool UnregisterHotKey(QWidget *window, int id)
{
    const auto held = std::find_if(
        registrations.begin(), registrations.end(), [window, id](const Registration &registration) {
            return registration.window == window && registration.id == id;
        });
    if (held == registrations.end())
        return false;
    if (!held->hooked)
        ::UnregisterHotKey(held->handle, id);
    registrations.erase(held);
    const bool hooked =
        std::any_of(registrations.cbegin(), registrations.cend(),
                    [](const Registration &registration) { return registration.hooked; });
    if (keyboardHook && !hooked) {
        ::UnhookWindowsHookEx(keyboardHook);
        keyboardHook = nullptr;
    }
    if (registrations.isEmpty()) {
        QCoreApplication::instance()->removeNativeEventFilter(hotKeyFilter);
        delete hotKeyFilter;
        hotKeyFilter = nullptr;
    }
    return true;
}

} // namespace platform::win
