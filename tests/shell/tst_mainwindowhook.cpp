#include "platform/windowproc.h"
#include "shell/modfrmmain.h"
#include "shell/modhotkey.h"
#include "startup/frmmain.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QSignalSpy>

using namespace platform;

namespace {

struct Call
{
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Call &) const = default;
};

// A window whose own procedure records what reaches it and answers with a result of its own.
struct RecordedWindow
{
    QWidget window;
    QList<Call> calls;
    LRESULT answer = 0;

    RecordedWindow()
    {
        SetWindowLong(&window, GWL_WNDPROC, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            calls.append({w, m, wp, lp});
            return answer;
        });
    }
    ~RecordedWindow()
    {
        if (MainWindowHandle == &window) {
            UnhookMainWindow();
            MainWindowHandle = nullptr;
        }
    }
};

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool translateWindowShown()
{
    return frmTranslateText::exists() && frmTranslateText::instance().isVisible();
}

} // namespace

class MainWindowHookTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void otherMessagesPassUnchanged_data();
    void otherMessagesPassUnchanged();
    void hotKeyIsAnsweredAndNotPassedOn_data();
    void hotKeyIsAnsweredAndNotPassedOn();
    void unhookedWindowBehavesAsBefore();
    void registeringLoadsAndHooksTheMainWindow();
    void hotKeyShowsTheTranslationWindowAgain();
};

void MainWindowHookTest::init()
{
    HotKeyIds = {0, 1};
}

void MainWindowHookTest::cleanup()
{
    if (frmTranslateText::exists())
        frmTranslateText::Unload();
    settle();
}

void MainWindowHookTest::otherMessagesPassUnchanged_data()
{
    QTest::addColumn<UINT>("message");
    QTest::addColumn<WPARAM>("wParam");
    QTest::addColumn<LPARAM>("lParam");
    QTest::addColumn<LRESULT>("result");

    QTest::newRow("mouse move") << UINT(WM_MOUSEMOVE) << WPARAM(1) << LPARAM(0x203) << LRESULT(0);
    QTest::newRow("size query") << UINT(WM_GETMINMAXINFO) << WPARAM(0) << LPARAM(0x1234568)
                                << LRESULT(-1);
    QTest::newRow("hot key's neighbour")
        << UINT(WM_HOTKEY + 1) << WPARAM(1) << LPARAM(0) << LRESULT(42);
    QTest::newRow("wide values") << UINT(0xC123) << ~WPARAM(0) << LPARAM(-2) << LRESULT(-7);
}

void MainWindowHookTest::otherMessagesPassUnchanged()
{
    QFETCH(UINT, message);
    QFETCH(WPARAM, wParam);
    QFETCH(LPARAM, lParam);
    QFETCH(LRESULT, result);

    RecordedWindow hooked;
    hooked.answer = result;
    HookMainWindow(&hooked.window);
    QCOMPARE(SendMessage(&hooked.window, message, wParam, lParam), result);
    QCOMPARE(hooked.calls, QList<Call>({{&hooked.window, message, wParam, lParam}}));
    QVERIFY(!translateWindowShown());
}

void MainWindowHookTest::hotKeyIsAnsweredAndNotPassedOn_data()
{
    QTest::addColumn<WPARAM>("id");
    QTest::addColumn<bool>("shows");

    QTest::newRow("the registered identifier") << WPARAM(1) << true;
    QTest::newRow("257 is 1 in eight bits") << WPARAM(257) << true;
    QTest::newRow("0x7fffff01 is 1 in eight bits") << WPARAM(0x7fffff01) << true;
    QTest::newRow("slot 0") << WPARAM(0) << false;
    QTest::newRow("unregistered") << WPARAM(2) << false;
    QTest::newRow("256 is 0 in eight bits") << WPARAM(256) << false;
}

void MainWindowHookTest::hotKeyIsAnsweredAndNotPassedOn()
{
    QFETCH(WPARAM, id);
    QFETCH(bool, shows);

    RecordedWindow hooked;
    hooked.answer = 99;
    HookMainWindow(&hooked.window);
    QCOMPARE(SendMessage(&hooked.window, WM_HOTKEY, id, 0), LRESULT(1));
    QVERIFY(hooked.calls.isEmpty());
    QCOMPARE(translateWindowShown(), shows);
}

void MainWindowHookTest::unhookedWindowBehavesAsBefore()
{
    RecordedWindow hooked;
    hooked.answer = 5;
    HookMainWindow(&hooked.window);
    UnhookMainWindow();

    QCOMPARE(SendMessage(&hooked.window, WM_HOTKEY, 1, 0), LRESULT(5));
    QCOMPARE(SendMessage(&hooked.window, WM_MOUSEMOVE, 2, 3), LRESULT(5));
    QCOMPARE(hooked.calls, QList<Call>({{&hooked.window, WM_HOTKEY, 1, 0},
                                        {&hooked.window, WM_MOUSEMOVE, 2, 3}}));
    QVERIFY(!translateWindowShown());
}

void MainWindowHookTest::registeringLoadsAndHooksTheMainWindow()
{
    QVERIFY(!frmMain::exists());
    HotKeyIds = {5, 6, 7};
    RegisterHotKeys(); // no global keys offscreen: registering fails quietly
    QCOMPARE(HotKeyIds, QList<qint32>({0, 1}));
    QVERIFY(frmMain::exists());
    QCOMPARE(MainWindowHandle, &frmMain::instance());
    QCOMPARE(SendMessage(&frmMain::instance(), WM_HOTKEY, 1, 0), LRESULT(1));
    QVERIFY(translateWindowShown());

    frmMain::Unload(); // its closing takes the hook away
    MainWindowHandle = nullptr;
    settle();
    QVERIFY(!frmMain::exists());
}

void MainWindowHookTest::hotKeyShowsTheTranslationWindowAgain()
{
    RecordedWindow hooked;
    HookMainWindow(&hooked.window);

    SendMessage(&hooked.window, WM_HOTKEY, 1, 0);
    QVERIFY(translateWindowShown());
    frmTranslateText *shown = &frmTranslateText::instance();

    shown->hide();
    SendMessage(&hooked.window, WM_HOTKEY, 1, 0);
    QVERIFY(translateWindowShown());
    QCOMPARE(&frmTranslateText::instance(), shown);

    // Closed, it is created afresh.
    QSignalSpy destroyed(shown, &QObject::destroyed);
    frmTranslateText::Unload();
    settle();
    QCOMPARE(destroyed.size(), 1);
    SendMessage(&hooked.window, WM_HOTKEY, 1, 0);
    QVERIFY(translateWindowShown());
}

LEXORN_TEST_MAIN(MainWindowHookTest)
#include "tst_mainwindowhook.moc"
