#include "platform/form.h"
#include "platform/webbrowser.h"
#include "platform/windowproc.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"
#include "window/modfrmtranslatetext.h"

using namespace platform;

namespace {

// What the system put into the query before the hook saw it.
MINMAXINFO systemAnswer()
{
    MINMAXINFO info;
    info.ptReserved = {1, 2};
    info.ptMaxSize = {1280, 800};
    info.ptMaxPosition = {-4, -4};
    info.ptMinTrackSize = {112, 27};
    info.ptMaxTrackSize = {1300, 820};
    return info;
}

bool sameOutsideMinimum(const MINMAXINFO &a, const MINMAXINFO &b)
{
    auto same = [](const POINT &p, const POINT &q) { return p.x == q.x && p.y == q.y; };
    return same(a.ptReserved, b.ptReserved) && same(a.ptMaxSize, b.ptMaxSize) &&
           same(a.ptMaxPosition, b.ptMaxPosition) && same(a.ptMaxTrackSize, b.ptMaxTrackSize);
}

struct Call
{
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

} // namespace

class tst_modFrmTranslateText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void minimumTrackingSize_data();
    void minimumTrackingSize();
    void otherMessagesReachThePreviousProcedure();
    void closingTheWindowRemovesTheHook();
};

void tst_modFrmTranslateText::cleanup()
{
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_modFrmTranslateText::minimumTrackingSize_data()
{
    QTest::addColumn<bool>("banner");
    QTest::addColumn<int>("bannerTwips");
    QTest::addColumn<int>("width");

    QTest::newRow("banner shown") << true << 2175 << 420;
    QTest::newRow("banner hidden") << false << 2175 << 275;
    QTest::newRow("wider banner") << true << 3000 << 475;
}

void tst_modFrmTranslateText::minimumTrackingSize()
{
    QFETCH(bool, banner);
    QFETCH(int, bannerTwips);
    QFETCH(int, width);
    frmTranslateText &window = frmTranslateText::instance();
    window.webBanner->SetVisible(banner);
    SetWidthTwips(window.webBanner, bannerTwips);

    MINMAXINFO info = systemAnswer();
    QCOMPARE(SendMessage(&window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    QCOMPARE(info.ptMinTrackSize.x, width);
    QCOMPARE(info.ptMinTrackSize.y, 355);
    QVERIFY(sameOutsideMinimum(info, systemAnswer()));
}

void tst_modFrmTranslateText::otherMessagesReachThePreviousProcedure()
{
    QWidget window;
    QList<Call> calls;
    SetWindowLong(&window, GWL_WNDPROC, [&calls](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        calls.append({w, m, wp, lp});
        return LRESULT(4711);
    });
    modFrmTranslateText::HookTranslateWindow(&window);

    QCOMPARE(SendMessage(&window, WM_HOTKEY, 7, -9), 4711);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).window, &window);
    QCOMPARE(calls.at(0).message, WM_HOTKEY);
    QCOMPARE(calls.at(0).wParam, WPARAM(7));
    QCOMPARE(calls.at(0).lParam, LPARAM(-9));

    MINMAXINFO info = systemAnswer();
    SendMessage(&window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    QCOMPARE(calls.size(), 1); // answered by the hook alone
    QCOMPARE(info.ptMinTrackSize.y, 355);

    modFrmTranslateText::UnhookTranslateWindow();
    info = systemAnswer();
    QCOMPARE(SendMessage(&window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 4711);
    QCOMPARE(calls.size(), 2);
    QCOMPARE(info.ptMinTrackSize.y, systemAnswer().ptMinTrackSize.y);
}

void tst_modFrmTranslateText::closingTheWindowRemovesTheHook()
{
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QVERIFY(window.close());

    MINMAXINFO info = systemAnswer();
    SendMessage(&window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    QCOMPARE(info.ptMinTrackSize.x, systemAnswer().ptMinTrackSize.x);
    QCOMPARE(info.ptMinTrackSize.y, systemAnswer().ptMinTrackSize.y);
}

LEXORN_TEST_MAIN(tst_modFrmTranslateText)
#include "tst_modfrmtranslatetext.moc"
