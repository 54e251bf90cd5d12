#include "support/keygrabber.h"

#include <cstdlib>

// X11 headers come last: their macros break Qt headers.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

KeyGrabber::KeyGrabber(const QString &display, unsigned keysym, unsigned modifiers)
{
    connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection))
        return;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t *codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const xcb_keycode_t keycode = codes ? codes[0] : 0;
    free(codes);
    if (symbols)
        xcb_key_symbols_free(symbols);
    if (!keycode)
        return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    held = true;
    const uint16_t lockVariants[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                     XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
    for (uint16_t locks : lockVariants) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 1, root, uint16_t(modifiers | locks), keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            held = false;
            free(error);
        }
    }
}

KeyGrabber::~KeyGrabber()
{
    if (connection)
        xcb_disconnect(connection);
}
