#include "platform/windowproc.h"
#include "shell/modfrmmain.h"
#include "shell/modhotkey.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

using namespace platform;

// The main window's hook answers the hot key message and shows the translation window; every
// other message reaches the window's own procedure as it was, and so does everything once the
// hook is gone.
class MainWindowHookTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messages_data()
    {
        columns<bool, UINT, WPARAM, LPARAM, bool>(
            {"hooked", "message", "wParam", "lParam", "shows"});
        const UINT hotKey = WM_HOTKEY;
        dataRow("mouse move", true, UINT(WM_MOUSEMOVE), WPARAM(1), LPARAM(0x203), false);
        dataRow("the hot key's neighbour", true, hotKey + 1, WPARAM(1), LPARAM(0), false);
        dataRow("wide values", true, UINT(0xC123), ~WPARAM(0), LPARAM(-2), false);
        dataRow("the registered identifier", true, hotKey, WPARAM(1), LPARAM(0), true);
        dataRow("257 is 1 in eight bits", true, hotKey, WPARAM(257), LPARAM(0), true);
        dataRow("slot 0", true, hotKey, WPARAM(0), LPARAM(0), false);
        dataRow("unregistered", true, hotKey, WPARAM(2), LPARAM(0), false);
        dataRow("256 is 0 in eight bits", true, hotKey, WPARAM(256), LPARAM(0), false);
        dataRow("unhooked", false, hotKey, WPARAM(1), LPARAM(0), false);
    }

    void messages()
    {
        auto [hooked, message, wParam, lParam, shows] = fetch<bool, UINT, WPARAM, LPARAM, bool>(
            "hooked", "message", "wParam", "lParam", "shows");
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

        const LRESULT result = SendMessage(&window, message, wParam, lParam);
        UnhookMainWindow();
        MainWindowHandle = nullptr;
        const bool answered = hooked && message == WM_HOTKEY;
        QCOMPARE(result, answered ? 1 : -7);
        const QList<qint64> passedOn{1, message, qint64(wParam), lParam};
        QCOMPARE(calls, answered ? QList<QList<qint64>>() : QList<QList<qint64>>{passedOn});
        QCOMPARE(frmTranslateText::exists() && frmTranslateText::instance().isVisible(), shows);
        frmTranslateText::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

LEXORN_TEST_MAIN(MainWindowHookTest)
#include "tst_mainwindowhook.moc"
