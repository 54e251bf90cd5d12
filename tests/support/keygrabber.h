#pragma once

#include <QString>

struct xcb_connection_t;

// Another X client holding a key combination on the root window, as a rival program holding
// Super+T would; the grab lasts while the object lives.
class KeyGrabber
{
public:
    // keysym: e.g. 0x74 for "t"; modifiers: an X modifier mask, e.g. Mod4 (64).
    KeyGrabber(const QString &display, unsigned keysym, unsigned modifiers);
    ~KeyGrabber();
    KeyGrabber(const KeyGrabber &) = delete;
    KeyGrabber &operator=(const KeyGrabber &) = delete;

    bool holds() const { return held; }

private:
    xcb_connection_t *connection = nullptr;
    bool held = false;
};
