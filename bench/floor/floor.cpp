// The floor of Lexorn's architecture: a bare Qt widgets program with the kinds of widgets Lexorn
// creates at start-up (two rich text editors, a text browser, a combo box, buttons, a tray icon)
// and only what the benchmark's probes need to drive it as they drive Lexorn: Super+T shows the
// window, its OK button hides it, and Translate fetches one page and shows it.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QComboBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>
#include <QWidget>

// X11 headers define macros that break Qt headers: they come last.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

constexpr uint16_t RelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

class SuperT : public QAbstractNativeEventFilter
{
public:
    explicit SuperT(QWidget *window) : window(window)
    {
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return;
        xcb_connection_t *connection = x11->connection();
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, 't');
        if (codes)
            keycode = codes[0];
        free(codes);
        xcb_key_symbols_free(symbols);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        for (const int locks : {0, int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_LOCK),
                                int(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)})
            xcb_grab_key(connection, 1, root, uint16_t(XCB_MOD_MASK_4 | locks), keycode,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_flush(connection);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
            return false;
        const auto *press = static_cast<const xcb_key_press_event_t *>(message);
        // Shown from the event loop, as a Qt program shows a window for a key: not from inside
        // the platform's event processing.
        if (press->detail == keycode && (press->state & RelevantModifiers) == XCB_MOD_MASK_4) {
            QMetaObject::invokeMethod(
                window,
                [this] {
                    window->show();
                    window->raise();
                    window->activateWindow();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget *window;
    xcb_keycode_t keycode = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // The same client size and places as Lexorn's translation window with its banner, so one
    // set of probe coordinates serves both, and a place on the screen of its own as Lexorn's has:
    // a window without one waits for the window manager to find it one at every show.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor Window"));
    window.resize(420, 408);
    window.move(430, 196);
    auto *source = new QTextEdit(&window);
    source->setGeometry(16, 48, 235, 120);
    auto *pairs = new QComboBox(&window);
    pairs->setGeometry(112, 176, 137, 21);
    pairs->addItem(QStringLiteral("English to Spanish"));
    auto *translate = new QPushButton(QStringLiteral("&Translate"), &window);
    translate->setGeometry(170, 213, 89, 25);
    auto *result = new QTextEdit(&window);
    result->setGeometry(16, 270, 235, 88);
    auto *banner = new QTextBrowser(&window);
    banner->setGeometry(267, 8, 145, 392);
    auto *ok = new QPushButton(QStringLiteral("&OK"), &window);
    ok->setGeometry(170, 375, 89, 25);

    QNetworkAccessManager network;
    const QByteArray provider = qgetenv("FLOOR_PROVIDER");
    QObject::connect(translate, &QPushButton::clicked, &window, [&] {
        const QUrl address(QString::fromUtf8(provider) +
                           QString::fromLatin1(QUrl::toPercentEncoding(source->toPlainText())));
        QNetworkReply *reply = network.get(QNetworkRequest(address));
        QObject::connect(reply, &QNetworkReply::finished, result, [reply, result] {
            result->setHtml(QString::fromUtf8(reply->readAll()));
            reply->deleteLater();
        });
    });
    QObject::connect(ok, &QPushButton::clicked, &window, &QWidget::hide);

    SuperT hotKey(&window);
    app.installNativeEventFilter(&hotKey);

    QPixmap pixels(16, 16);
    pixels.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(pixels)};
    tray.show();
    return QApplication::exec();
}
