#include "platform/x11/x11.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QList>
#include <QScopedPointer>
#include <QThread>
#include <QWidget>

#include <cstring>

// X11 headers define macros that break Qt headers: they come last.
#include <xcb/xcb.h>

namespace platform::x11 {
namespace {

// A window manager that takes the request answers within a round trip or two; one that never
// answers costs this each time the frame is asked for.
constexpr int AnswerWaitMs = 100;

xcb_atom_t atomNamed(xcb_connection_t *connection, const char *name)
{
    const QScopedPointer<xcb_intern_atom_reply_t, QScopedPointerPodDeleter> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name),
                              nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The property's 32-bit values; empty when it is absent or of another type.
QList<quint32> values32(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                        xcb_atom_t type)
{
    const QScopedPointer<xcb_get_property_reply_t, QScopedPointerPodDeleter> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->type != type || reply->format != 32)
        return {};
    const auto *data = static_cast<const quint32 *>(xcb_get_property_value(reply.data()));
    return QList<quint32>(data, data + xcb_get_property_value_length(reply.data()) / 4);
}

// In the window's logical pixels; the window manager publishes left, right, top, bottom in device
// pixels.
QMargins marginsOf(const QList<quint32> &extents, const QWidget *window)
{
    if (extents.size() != 4)
        return {};
    const qreal ratio = window->devicePixelRatioF();
    const auto logical = [&](qsizetype i) { return qRound(extents.at(i) / ratio); };
    return QMargins(logical(0), logical(2), logical(1), logical(3));
}

} // namespace

QMargins FrameExtents(QWidget *window)
{
    xcb_connection_t *connection = Connection();
    if (!window || !connection)
        return {};
    // The window's own extents come and go as it is shown and hidden (openbox zeroes them when
    // it lets a window go); a stand-in of the same kind, asked once, gives the frame it will get.
    static QList<quint32> answer;
    if (!answer.isEmpty())
        return marginsOf(answer, window);

    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t request = atomNamed(connection, "_NET_REQUEST_FRAME_EXTENTS");
    if (!values32(connection, screen->root, atomNamed(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM)
             .contains(request))
        return {};
    const xcb_window_t standIn = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, standIn, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = standIn;
    message.type = request;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    // Asked again rather than waited for as an event: Qt's event loop owns the connection's events.
    const xcb_atom_t extents = atomNamed(connection, "_NET_FRAME_EXTENTS");
    const QDeadlineTimer deadline(AnswerWaitMs);
    while ((answer = values32(connection, standIn, extents, XCB_ATOM_CARDINAL)).isEmpty() &&
           !deadline.hasExpired())
        QThread::msleep(1);
    xcb_destroy_window(connection, standIn);
    xcb_flush(connection);
    return marginsOf(answer, window);
}

} // namespace platform::x11
