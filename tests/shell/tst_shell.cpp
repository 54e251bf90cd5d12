#include "platform/hotkey.h"
#include "platform/inet.h"
#include "platform/instance.h"
#include "platform/trayicon.h"
#include "platform/win/win.h"
#include "platform/windowproc.h"
#include "platform/x11/x11.h"
#include "shell/frmtrayicon.h"
#include "shell/modhotkey.h"
#include "shell/modtrayicon.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

using namespace platform;

class tst_Shell : public QObject
{
    Q_OBJECT
    using HWND = platform::HWND; // Qt for Windows declares a global one too

    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // What a call leads to: "menu" (the tray menu pops up), "window" (the translation window
    // shows) or "nothing".
    static QString outcomeOf(const std::function<void()> &call)
    {
        bool menu = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&menu] {
            if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
                menu = popup->close();
        });
        watcher.start(5);
        call();
        const bool window = frmTranslateText::exists() && frmTranslateText::instance().isVisible();
        frmTranslateText::Unload();
        settle();
        return menu ? "menu" : window ? "window" : "nothing";
    }

    QTemporaryDir runtime; // the user's own folder, as the desktop makes it
    QStringList delivered;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        ListenForLaterStarts([this](const QByteArray &request) { delivered.append(request); });
    }

    // The notification code arrives as X, in twips or in pixels as the window's scale mode says.
    void notificationCode_data()
    {
        columns<int, double, QString>({"scaleMode", "x", "outcome"});
        const int twips = FormBase::vbTwips, pixels = FormBase::vbPixels;
        dataRow("twips: double click", twips, 515.0 * 15, "window");
        dataRow("twips: right button up", twips, 517.0 * 15, "menu");
        dataRow("twips: rounds up to a double click", twips, 514.5 * 15, "window");
        dataRow("twips: just below a double click", twips, 514.4 * 15, "nothing");
        dataRow("pixels: double click", pixels, 515.0, "window");
        dataRow("pixels: rounds to a right button up", pixels, 516.6, "menu");
    }

    void notificationCode()
    {
        auto [scaleMode, x, outcome] = current<int, double, QString>();
        frmTrayIcon &tray = frmTrayIcon::instance();
        tray.SetScaleMode(scaleMode);
        QCOMPARE(outcomeOf([&] { tray.Form_MouseMove(0, 0, x, 0); }), outcome);
        // The same through the window procedure, as the icon delivers it.
        const int code = qRound(scaleMode == FormBase::vbPixels ? x : x / 15);
        QCOMPARE(outcomeOf([&] { SendMessage(&tray, WM_MOUSEMOVE, 1, code); }), outcome);
    }

    // What Qt reports of the icon reaches its owner as the codes of a notification area.
    void activationsReachTheOwner_data()
    {
        // reason -1: Qt reports no activation; widgetEvents: right button on the XEmbed icon
        columns<bool, int, QList<int>, QList<int>>({"xembed", "reason", "widgetEvents", "codes"});
        const int release = QEvent::MouseButtonRelease, doubleClick = QEvent::MouseButtonDblClick;
        // XEmbed (X11 builds): Qt reports presses, the right button's release comes from its icon
        // widget, and a quick second right click is a double click to Qt, with no activation.
        if (platform::x11::Built) {
            dataRow("XEmbed right click", true, int(QSystemTrayIcon::Context), QList<int>{release},
                    QList<int>{0x204, 0x205});
            dataRow("XEmbed quick second right click", true, -1, QList<int>{doubleClick, release},
                    QList<int>{0x206, 0x205});
        }
        // StatusNotifier: a context request is the whole right click (an activation: below).
        dataRow("StatusNotifier context", false, int(QSystemTrayIcon::Context), QList<int>(),
                QList<int>{0x204, 0x205});
    }

    void activationsReachTheOwner()
    {
        auto [xembed, reason, widgetEvents, codes] = current<bool, int, QList<int>, QList<int>>();
        QWidget owner;
        QList<int> delivered;
        SetWindowLong(&owner, GWL_WNDPROC, [&](HWND window, UINT message, WPARAM w, LPARAM l) {
            if (window == &owner && message == 0x8123 && w == 7)
                delivered.append(LoWord(l));
            return LRESULT(0);
        });
        // Stands for Qt's internal XEmbed icon widget, which is found by its name.
        QWidget xembedIcon;
        if (xembed)
            xembedIcon.setObjectName(QStringLiteral("QSystemTrayIconSys"));

        NOTIFYICONDATA data{0, &owner, 7, NIF_MESSAGE | NIF_ICON, 0x8123, QIcon(QPixmap(16, 16))};
        QVERIFY(Shell_NotifyIcon(NIM_ADD, data));
        if (reason >= 0)
            Q_EMIT owner.findChild<QSystemTrayIcon *>()->activated(
                QSystemTrayIcon::ActivationReason(reason));
        for (int type : widgetEvents) {
            QMouseEvent event(QEvent::Type(type), QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::RightButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(&xembedIcon, &event);
        }
        settle();
        QCOMPARE(delivered, codes);
        QVERIFY(Shell_NotifyIcon(NIM_DELETE, data));
    }

    // A later start comes over a local socket, a StatusNotifier activation (a double click) over
    // D-Bus, a hot key as a message Qt takes for no input: a transfer's wait holds back none of
    // them, so they wait for its end, in the order they came.
    void outsideRequestsWaitForTheTransfer()
    {
        delivered.clear();
        QWidget owner;
        SetWindowLong(&owner, GWL_WNDPROC, [&](HWND, UINT message, WPARAM, LPARAM l) {
            delivered.append(message == WM_HOTKEY ? "hot key" : QString::number(LoWord(l), 16));
            return LRESULT(0);
        });
        NOTIFYICONDATA data{0, &owner, 7, NIF_MESSAGE, 0x8123, QIcon()};
        QVERIFY(Shell_NotifyIcon(NIM_ADD, data));
        LoopbackServer server;
        server.setHandler([&](const LoopbackServer::Request &) {
            // From a thread of its own, as from a process of its own: under wine a pipe's write
            // waits for its reader.
            const std::unique_ptr<QThread> later(
                QThread::create([] { AskRunningInstance("show"); }));
            later->start();
            while (!later->isFinished())
                QTest::qWait(50);
            Q_EMIT owner.findChild<QSystemTrayIcon *>()->activated(QSystemTrayIcon::Trigger);
            PostHotKey(&owner, 1);
            settle();
            return LoopbackServer::Answer{200, "answer"};
        });
        QVERIFY(Inet().OpenURL(server.url(QStringLiteral("/"))).ok);
        QCOMPARE(delivered, QStringList());
        settle();
        // Windows' tray tells a click from a double click; a StatusNotifier activation is one.
        const QString click = platform::win::Built ? "202" : "203";
        // The later start's request is read when its socket's end reaches the event loop, which
        // on a busy machine can come after the two that follow it here.
        QTRY_COMPARE(delivered.count("show"), 1);
        delivered.removeAll("show");
        QCOMPARE(delivered, QStringList({click, "hot key"}));
    }

    // The main window's hook answers the hot key message and shows the translation window; every
    // other message reaches the window's own procedure as it was, and so does everything once the
    // hook is gone.
    void hotKeyHook_data()
    {
        columns<bool, UINT, WPARAM, LPARAM, QString>(
            {"hooked", "message", "wParam", "lParam", "outcome"});
        const UINT hotKey = WM_HOTKEY;
        dataRow("mouse move", true, UINT(WM_MOUSEMOVE), WPARAM(1), LPARAM(0x203), "nothing");
        dataRow("the hot key's neighbour", true, hotKey + 1, WPARAM(1), LPARAM(0), "nothing");
        dataRow("wide values", true, UINT(0xC123), ~WPARAM(0), LPARAM(-2), "nothing");
        dataRow("the registered identifier", true, hotKey, WPARAM(1), LPARAM(0), "window");
        dataRow("257 is 1 in eight bits", true, hotKey, WPARAM(257), LPARAM(0), "window");
        dataRow("slot 0", true, hotKey, WPARAM(0), LPARAM(0), "nothing");
        dataRow("unregistered", true, hotKey, WPARAM(2), LPARAM(0), "nothing");
        dataRow("unhooked", false, hotKey, WPARAM(1), LPARAM(0), "nothing");
    }

    void hotKeyHook()
    {
        auto [hooked, message, wParam, lParam, outcome] =
            current<bool, UINT, WPARAM, LPARAM, QString>();
        HotKeyIds = {0, 1};
        QWidget window;
        QList<QList<qint64>> calls;
        SetWindowLong(&window, GWL_WNDPROC, [&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            calls.append({w == &window, m, qint64(wp), lp});
            return LRESULT(-7);
        });
        HookMainWindow(&window);
        if (!hooked)
            UnhookMainWindow();
        LRESULT result = 0;
        QCOMPARE(outcomeOf([&] { result = SendMessage(&window, message, wParam, lParam); }),
                 outcome);
        UnhookMainWindow();
        MainWindowHandle = nullptr;
        const bool answered = hooked && message == WM_HOTKEY;
        QCOMPARE(result, answered ? 1 : -7);
        const QList<qint64> passedOn{1, message, qint64(wParam), lParam};
        QCOMPARE(calls, answered ? QList<QList<qint64>>() : QList<QList<qint64>>{passedOn});
    }

    void exitAnsweredNoChangesNothing()
    {
        frmTrayIcon &tray = frmTrayIcon::instance();
        AddTrayIcon(QApplication::windowIcon(), &tray);
        Recorder boxes;
        boxes.answers = {vbNo};
        QCOMPARE(endingOf([&tray] { tray.mnuExit->trigger(); }), -1);
        settle();
        QCOMPARE(boxes.seen, QStringList{"Quit? 36 Are you sure you want to quit?"});
        QVERIFY(Shell_NotifyIcon(NIM_MODIFY, TrayIconData)); // still there
        RemoveTrayIcon(&tray);
    }
};

LEXORN_TEST_MAIN(tst_Shell)
#include "tst_shell.moc"
