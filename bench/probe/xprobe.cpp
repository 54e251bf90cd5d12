// The benchmark's eye and hand on the X display: it watches for windows as the X server sees them
// and gives input through XTEST, as a person's keyboard and mouse would, so one program measured
// is driven and timed exactly like another. Times are CLOCK_MONOTONIC, shared with the script that
// runs it.
//
//   xprobe tray
//       prints "ready", then "embedded NS" when a window is mapped inside the tray host (trayer)
//   xprobe hotkey NAME PRESSES
//       Super+T until a top-level window whose title matches NAME is mapped, Alt+O to close it;
//       one line "MS" per press
//   xprobe translate NAME SOURCE BUTTON CLOSE REGION THROUGH ROUNDS
//       each round opens the window with Super+T, types a different text into the editor at
//       SOURCE (x,y in the window), clicks BUTTON (x,y), waits until the pixels of REGION
//       (x,y,w,h) show something new, and closes the window with the button at CLOSE; a window
//       titled THROUGH ("-": none) that covers the area meanwhile is waited out. One line "MS"
//       per round, counted from the button's release.

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_connection_t *connection;
xcb_window_t root;
xcb_key_symbols_t *symbols;

constexpr uint32_t XK_Control_L = 0xffe3;
constexpr uint32_t XK_Alt_L = 0xffe9;
constexpr uint32_t XK_Super_L = 0xffeb;

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "xprobe: %s\n", what);
    std::exit(1);
}

template <typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> Owned<Reply> own(Reply *reply)
{
    return Owned<Reply>(reply, &std::free);
}

xcb_atom_t atom(const char *name)
{
    auto reply = own(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    auto reply = own(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, type, 0, 1024), nullptr));
    if (!reply || reply->format != 8)
        return {};
    return std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
                       size_t(xcb_get_property_value_length(reply.get())));
}

std::vector<xcb_window_t> children(xcb_window_t window)
{
    auto reply = own(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!reply)
        return {};
    const xcb_window_t *first = xcb_query_tree_children(reply.get());
    return {first, first + xcb_query_tree_children_length(reply.get())};
}

bool viewable(xcb_window_t window)
{
    auto reply = own(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

void select(xcb_window_t window, uint32_t mask)
{
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

std::string title(xcb_window_t window)
{
    static const xcb_atom_t netName = atom("_NET_WM_NAME");
    static const xcb_atom_t utf8 = atom("UTF8_STRING");
    std::string name = property(window, netName, utf8);
    return name.empty() ? property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : name;
}

// The client window at or below a window manager's frame whose title matches.
xcb_window_t findTitled(xcb_window_t window, const std::regex &name, int depth = 3)
{
    if (std::regex_search(title(window), name))
        return window;
    if (depth == 0)
        return XCB_WINDOW_NONE;
    for (xcb_window_t child : children(window)) {
        if (xcb_window_t found = findTitled(child, name, depth - 1))
            return found;
    }
    return XCB_WINDOW_NONE;
}

// Waits for an event that the handler accepts; false after the time-out.
bool waitFor(const std::function<bool(const xcb_generic_event_t &)> &accept, int timeoutMs = 5000)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    xcb_flush(connection);
    while (Clock::now() < deadline) {
        if (xcb_connection_has_error(connection))
            fail("the X connection broke");
        auto event = own(xcb_poll_for_event(connection));
        if (!event) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        if (accept(*event))
            return true;
    }
    return false;
}

// Lets time pass while events are read and dropped, so none of them is taken for a later one.
void settle(int ms)
{
    waitFor([](const xcb_generic_event_t &) { return false; }, ms);
}

xcb_keycode_t keycode(uint32_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    if (!codes)
        fail("a key has no key code");
    const xcb_keycode_t code = codes[0];
    std::free(codes);
    return code;
}

void fake(uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0)
{
    xcb_test_fake_input(connection, type, detail, XCB_CURRENT_TIME, root, x, y, 0);
}

// Keys a few milliseconds apart, as a hand gives them: a program that follows the modifier state
// from the keyboard's own notifications could otherwise still see Ctrl held on the next key.
void key(uint8_t type, uint32_t keysym)
{
    fake(type, keycode(keysym));
    xcb_flush(connection);
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
}

void chord(std::initializer_list<uint32_t> keysyms)
{
    for (uint32_t keysym : keysyms)
        key(XCB_KEY_PRESS, keysym);
    for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it)
        key(XCB_KEY_RELEASE, *it);
}

void moveTo(int x, int y)
{
    fake(XCB_MOTION_NOTIFY, 0, int16_t(x), int16_t(y));
    xcb_flush(connection);
}

// Pressed and released a moment apart, as a finger does.
void click()
{
    fake(XCB_BUTTON_PRESS, 1);
    xcb_flush(connection);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    fake(XCB_BUTTON_RELEASE, 1);
    xcb_flush(connection);
}

// A frame (a child of the root) being mapped with a matching client inside: the client.
xcb_window_t mappedTitled(const xcb_generic_event_t &event, const std::regex &name,
                          xcb_window_t *frame)
{
    if ((event.response_type & 0x7F) != XCB_MAP_NOTIFY)
        return XCB_WINDOW_NONE;
    const auto &map = reinterpret_cast<const xcb_map_notify_event_t &>(event);
    if (map.event != root)
        return XCB_WINDOW_NONE;
    const xcb_window_t client = findTitled(map.window, name);
    if (client && frame)
        *frame = map.window;
    return client;
}

bool gone(const xcb_generic_event_t &event, xcb_window_t frame)
{
    const uint8_t type = event.response_type & 0x7F;
    if (type == XCB_UNMAP_NOTIFY)
        return reinterpret_cast<const xcb_unmap_notify_event_t &>(event).window == frame;
    if (type == XCB_DESTROY_NOTIFY)
        return reinterpret_cast<const xcb_destroy_notify_event_t &>(event).window == frame;
    return false;
}

xcb_window_t viewableTitled(const std::regex &name)
{
    for (xcb_window_t top : children(root)) {
        if (!viewable(top))
            continue;
        if (xcb_window_t client = findTitled(top, name))
            return client;
    }
    return XCB_WINDOW_NONE;
}

int tray()
{
    static const std::regex trayer("trayer");
    // Windows are told apart by the client that made them: the host's own windows (its panel,
    // the sockets it makes per icon) share its resource base, an embedded icon does not.
    const uint32_t mask = xcb_get_setup(connection)->resource_id_mask;
    uint32_t hostBase = 0;
    bool found = false;
    bool shown = false;
    std::set<xcb_window_t> watched;
    auto isForeign = [&](xcb_window_t window) { return (window & ~mask) != hostBase; };
    std::function<void(xcb_window_t)> watch = [&](xcb_window_t window) {
        if (!watched.insert(window).second)
            return;
        select(window, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        for (xcb_window_t child : children(window)) {
            if (!isForeign(child))
                watch(child);
            else if (viewable(child))
                shown = true; // it arrived before we listened
        }
    };
    std::function<void(xcb_window_t)> findTray = [&](xcb_window_t window) {
        if (!found &&
            std::regex_search(property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING), trayer)) {
            found = true;
            hostBase = window & ~mask;
            watch(window);
            return;
        }
        for (xcb_window_t child : children(window))
            findTray(child);
    };
    findTray(root);
    if (!found)
        fail("no tray host (trayer) on this display");
    if (shown)
        fail("an icon is in the tray already");
    xcb_flush(connection);
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        auto event = own(xcb_wait_for_event(connection));
        if (!event)
            fail("the X connection broke");
        switch (event->response_type & 0x7F) {
        case XCB_CREATE_NOTIFY: {
            const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event.get());
            if (watched.count(created->parent) && !isForeign(created->window))
                watch(created->window);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto *moved = reinterpret_cast<xcb_reparent_notify_event_t *>(event.get());
            if (watched.count(moved->parent) && isForeign(moved->window) && viewable(moved->window))
                shown = true;
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto *mapped = reinterpret_cast<xcb_map_notify_event_t *>(event.get());
            if (watched.count(mapped->event) && isForeign(mapped->window))
                shown = true;
            break;
        }
        default:
            break;
        }
        if (shown) {
            std::printf("embedded %lld\n", nowNs());
            std::fflush(stdout);
            return 0;
        }
        xcb_flush(connection);
    }
}

int hotkey(const std::regex &name, int presses)
{
    select(root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    xcb_flush(connection);
    for (int press = 0; press < presses; ++press) {
        if (viewableTitled(name))
            fail("the window is open before the hot key");
        xcb_window_t frame = XCB_WINDOW_NONE;
        // The combination is complete, and the clock starts, when T goes down.
        key(XCB_KEY_PRESS, XK_Super_L);
        const Clock::time_point start = Clock::now();
        fake(XCB_KEY_PRESS, keycode('t'));
        fake(XCB_KEY_RELEASE, keycode('t'));
        fake(XCB_KEY_RELEASE, keycode(XK_Super_L));
        xcb_flush(connection);
        if (!waitFor([&](const xcb_generic_event_t &event) {
                return mappedTitled(event, name, &frame) != XCB_WINDOW_NONE;
            }))
            fail("the window did not open");
        std::printf("%.3f\n", msSince(start));
        std::fflush(stdout);
        settle(150);
        chord({XK_Alt_L, 'o'});
        if (!waitFor([&](const xcb_generic_event_t &event) { return gone(event, frame); }))
            fail("the window did not close");
        settle(150);
    }
    return 0;
}

struct Rect
{
    int x = 0, y = 0, w = 0, h = 0;
};

std::vector<uint8_t> pixels(const Rect &area)
{
    auto reply = own(xcb_get_image_reply(connection,
                                         xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                                                       int16_t(area.x), int16_t(area.y),
                                                       uint16_t(area.w), uint16_t(area.h), ~0u),
                                         nullptr));
    if (!reply)
        fail("cannot read the screen");
    const uint8_t *data = xcb_get_image_data(reply.get());
    return {data, data + xcb_get_image_data_length(reply.get())};
}

void type(const std::string &text)
{
    for (char c : text) {
        key(XCB_KEY_PRESS, uint32_t(static_cast<unsigned char>(c)));
        key(XCB_KEY_RELEASE, uint32_t(static_cast<unsigned char>(c)));
    }
}

// Opens the window with the hot key, as a person starts a translation, and gives its client area's
// place on the screen.
xcb_window_t openWindow(const std::regex &name, xcb_window_t *frame)
{
    chord({XK_Super_L, 't'});
    xcb_window_t client = XCB_WINDOW_NONE;
    if (!waitFor([&](const xcb_generic_event_t &event) {
            client = mappedTitled(event, name, frame);
            return client != XCB_WINDOW_NONE;
        }))
        fail("the window did not open");
    return client;
}

int translate(const std::regex &name, int sourceX, int sourceY, int buttonX, int buttonY,
              int closeX, int closeY, Rect region, const std::string &through, int rounds)
{
    select(root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    xcb_flush(connection);
    if (viewableTitled(name))
        fail("the window is open before the first round");
    const std::regex throughName(through == "-" ? std::string("$^") : through);

    // A different text each round, and from one run to the next, so that every result changes
    // what the screen shows.
    const long long base = nowNs() / 1000000 % 100000 * 100;
    for (int round = 0; round < rounds; ++round) {
        xcb_window_t frame = XCB_WINDOW_NONE;
        const xcb_window_t client = openWindow(name, &frame);
        settle(300);
        auto origin = own(xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, client, root, 0, 0), nullptr));
        if (!origin)
            fail("the window has no place on the screen");
        const int x0 = origin->dst_x;
        const int y0 = origin->dst_y;
        const Rect area{region.x + x0, region.y + y0, region.w, region.h};

        moveTo(x0 + sourceX, y0 + sourceY);
        click();
        settle(100);
        chord({XK_Control_L, 'a'});
        type("the house number " + std::to_string(base + round) + " is red");
        moveTo(x0 + buttonX, y0 + buttonY);
        settle(300);
        const std::vector<uint8_t> before = pixels(area);

        fake(XCB_BUTTON_PRESS, 1);
        xcb_flush(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        // A button acts when it is released: the clock starts there.
        const Clock::time_point start = Clock::now();
        fake(XCB_BUTTON_RELEASE, 1);
        xcb_flush(connection);
        // The first moment the area shows what it keeps showing. A progress window may cover it
        // for a while (or, when the answer is quick, never reach the screen at all), and a
        // window that goes away may leave its place blank before the one below paints it again.
        const Clock::time_point deadline = start + std::chrono::seconds(5);
        std::vector<uint8_t> last = before;
        Clock::time_point changed = start;
        xcb_window_t covering = XCB_WINDOW_NONE;
        for (;;) {
            while (auto event = own(xcb_poll_for_event(connection))) {
                xcb_window_t progress = XCB_WINDOW_NONE;
                if (mappedTitled(*event, throughName, &progress))
                    covering = progress;
                else if (covering && gone(*event, covering))
                    covering = XCB_WINDOW_NONE;
            }
            const std::vector<uint8_t> now = pixels(area);
            const Clock::time_point seen = Clock::now();
            if (now != last) {
                last = now;
                changed = seen;
            } else if (!covering && last != before &&
                       seen - changed > std::chrono::milliseconds(50)) {
                break;
            }
            if (seen > deadline)
                fail("the result did not change on the screen");
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        }
        std::printf("%.3f\n", std::chrono::duration<double, std::milli>(changed - start).count());
        std::fflush(stdout);
        settle(300);
        moveTo(x0 + closeX, y0 + closeY);
        click();
        if (!waitFor([&](const xcb_generic_event_t &event) { return gone(event, frame); }))
            fail("the window did not close");
        settle(200);
    }
    return 0;
}

bool pair(const char *text, int &a, int &b)
{
    return std::sscanf(text, "%d,%d", &a, &b) == 2;
}

} // namespace

int main(int argc, char *argv[])
{
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        fail("cannot open the display");
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    symbols = xcb_key_symbols_alloc(connection);

    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "tray" && argc == 2)
        return tray();
    if (command == "hotkey" && argc == 4)
        return hotkey(std::regex(argv[2]), std::atoi(argv[3]));
    if (command == "translate" && argc == 9) {
        int sx, sy, bx, by, cx, cy;
        Rect region;
        if (!pair(argv[3], sx, sy) || !pair(argv[4], bx, by) || !pair(argv[5], cx, cy) ||
            std::sscanf(argv[6], "%d,%d,%d,%d", &region.x, &region.y, &region.w, &region.h) != 4)
            fail("bad coordinates");
        return translate(std::regex(argv[2]), sx, sy, bx, by, cx, cy, region, argv[7],
                         std::atoi(argv[8]));
    }
    std::fprintf(stderr, "usage: xprobe tray | hotkey NAME PRESSES | "
                         "translate NAME SX,SY BX,BY CX,CY X,Y,W,H THROUGH ROUNDS\n");
    return 2;
}
