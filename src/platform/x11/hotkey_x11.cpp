#include "platform/keys.h"
#include "platform/x11/x11.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QList>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <utility>

// X11 headers define macros that break Qt headers: they come last.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace platform::x11 {
namespace {

Q_LOGGING_CATEGORY(lcHotKey, "lexorn.hotkey")

struct Grab
{
    QPointer<QWidget> window;
    int id = 0;
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
    std::function<void()> pressed;
};

// NumLock (Mod2) and CapsLock must not stop the combination, so each grab is made for every
// combination of the two, and only the modifiers that matter are compared on a press.
constexpr uint16_t LockVariants[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                     XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
constexpr uint16_t RelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

class KeyPressFilter : public QAbstractNativeEventFilter
{
public:
    QList<Grab> grabs;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
            return false;
        const auto *press = static_cast<const xcb_key_press_event_t *>(message);
        const uint16_t state = press->state & RelevantModifiers;
        for (const Grab &grab : std::as_const(grabs)) {
            if (grab.keycode != press->detail || grab.modifiers != state)
                continue;
            grab.pressed();
            // A press over one of our own windows must not reach it as typing. One reported on
            // the root goes on to Qt, which takes its time as the user's latest action; without
            // it the window manager may refuse to bring up the window the hot key shows.
            return press->event != press->root;
        }
        return false;
    }
};

// Installed while a grab is held: without one, no key press needs looking at.
KeyPressFilter *keyPressFilter = nullptr;

xcb_window_t rootOf(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

xcb_keysym_t keysymOf(unsigned virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey - 'A' + 'a';
    if (virtualKey >= '0' && virtualKey <= '9')
        return virtualKey;
    return 0;
}

uint16_t modifierMask(unsigned modifiers)
{
    uint16_t mask = 0;
    if (modifiers & MOD_ALT)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & MOD_CONTROL)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_SHIFT)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_WIN)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

xcb_keycode_t keycodeOf(xcb_connection_t *connection, xcb_keysym_t keysym)
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return 0;
    xcb_keycode_t found = 0;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym)) {
        found = codes[0] == XCB_NO_SYMBOL ? 0 : codes[0];
        free(codes);
    }
    xcb_key_symbols_free(symbols);
    return found;
}

// All four variants or none: a combination held by another client in any of them is refused.
bool grabAllVariants(xcb_connection_t *connection, xcb_window_t root, xcb_keycode_t keycode,
                     uint16_t modifiers)
{
    xcb_void_cookie_t cookies[std::size(LockVariants)];
    for (size_t i = 0; i < std::size(LockVariants); ++i)
        cookies[i] = xcb_grab_key_checked(connection, 1, root, modifiers | LockVariants[i], keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool granted = true;
    for (size_t i = 0; i < std::size(LockVariants); ++i) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookies[i])) {
            granted = false;
            free(error);
        }
    }
    if (!granted) {
        for (uint16_t variant : LockVariants)
            xcb_ungrab_key(connection, keycode, root, modifiers | variant);
        xcb_flush(connection);
    }
    return granted;
}

} // namespace

xcb_connection_t *Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

bool Active()
{
    return Connection() != nullptr;
}

bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed)
{
    xcb_connection_t *connection = window ? Connection() : nullptr;
    if (!connection)
        return false;
    const xcb_keysym_t keysym = keysymOf(virtualKey);
    const xcb_keycode_t keycode = keysym ? keycodeOf(connection, keysym) : 0;
    if (!keycode)
        return false;
    const uint16_t mask = modifierMask(modifiers);
    if (!keyPressFilter) {
        keyPressFilter = new KeyPressFilter;
        QCoreApplication::instance()->installNativeEventFilter(keyPressFilter);
    }
    for (const Grab &grab : std::as_const(keyPressFilter->grabs)) {
        if (grab.keycode == keycode && grab.modifiers == mask && grab.window)
            return false; // already ours, on behalf of another registration
    }
    if (!grabAllVariants(connection, rootOf(connection), keycode, mask)) {
        // The user can do nothing about it at every start, so it is said once and not shown.
        static bool told = false;
        if (!std::exchange(told, true))
            qCWarning(lcHotKey, "%s is held by another client",
                      qUtf8Printable(combinationName(modifiers, QChar(char16_t(virtualKey)),
                                                     {"Ctrl", "Alt", "Shift", "Super"})));
        return false;
    }
    keyPressFilter->grabs.append({window, id, keycode, mask, std::move(pressed)});
    return true;
}

bool UnregisterHotKey(QWidget *window, int id)
{
    xcb_connection_t *connection = Connection();
    if (!connection || !keyPressFilter)
        return false;
    QList<Grab> &grabs = keyPressFilter->grabs;
    const auto held = std::find_if(grabs.begin(), grabs.end(), [window, id](const Grab &grab) {
        return grab.window == window && grab.id == id;
    });
    if (held == grabs.end())
        return false;
    for (uint16_t variant : LockVariants)
        xcb_ungrab_key(connection, held->keycode, rootOf(connection), held->modifiers | variant);
    xcb_flush(connection);
    grabs.erase(held);
    if (grabs.isEmpty()) {
        QCoreApplication::instance()->removeNativeEventFilter(keyPressFilter);
        delete keyPressFilter;
        keyPressFilter = nullptr;
    }
    return true;
}

} // namespace platform::x11
