#include "support/desktopsession.h"
#include "support/keygrabber.h"

#include <QElapsedTimer>

// The tray icon, its menu, the hot key and the information windows of the real program, on a
// virtual desktop with a tray, against the real service.
class ShellDesktopTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void splashCloses_data();
    void splashCloses();
    void aboutTwiceLeavesOneBox();
    void exitAnsweredYes();
    void hotKeyShowsTheTranslationWindow();
    void hotKeyHeldElsewhere();

private:
    QList<qulonglong> popupMenus() const;
    // Right button pressed and released over the icon, then the item's access key.
    bool chooseFromTrayMenu(const QString &key) const;
    // Covers the window with another program's, then checks that the action brings it up.
    bool raisedFromBehind(qulonglong window, const std::function<void()> &action);
    QPoint icon() const { return desktop.trayIcon().geometry.center(); }
    void doubleClickIcon() const { desktop.click(icon().x(), icon().y(), 1, 2); }
    QList<qulonglong> translateWindows() const { return desktop.windowsNamed("^Translate Text$"); }

    DesktopSession desktop;
    QString service;
    QProcess *lexorn = nullptr;
};

void ShellDesktopTest::initTestCase()
{
    QVERIFY2(desktop.start(), qPrintable(desktop.error()));
    service = desktop.startService();
    QVERIFY2(!service.isEmpty(), qPrintable(desktop.error()));
}

void ShellDesktopTest::cleanup()
{
    if (lexorn)
        DesktopSession::end(std::exchange(lexorn, nullptr));
    desktop.waitForNoWindow("^(Translate Text|About Lexorn|Quit\\?)$", 3000);
}

QList<qulonglong> ShellDesktopTest::popupMenus() const
{
    // The program's unmanaged windows other than its tray icon.
    const qulonglong iconId = desktop.trayIcon().id;
    QList<qulonglong> found;
    for (qulonglong window : desktop.windowsOfClass("^lexorn$"))
        if (window != iconId && desktop.isOverrideRedirect(window))
            found.append(window);
    return found;
}

bool ShellDesktopTest::chooseFromTrayMenu(const QString &key) const
{
    desktop.click(icon().x(), icon().y(), 3);
    const bool open = DesktopSession::waitUntil([this] { return !popupMenus().isEmpty(); }, 5000);
    desktop.key(key);
    return open;
}

bool ShellDesktopTest::raisedFromBehind(qulonglong window, const std::function<void()> &action)
{
    QProcess *other = desktop.launch("xmessage", {"-geometry", "1000x700+20+40", "in front"});
    const qulonglong cover = desktop.waitForWindow("^xmessage$");
    const bool covered =
        cover && DesktopSession::waitUntil([&] { return desktop.isAbove(cover, window); }, 3000);
    action();
    const bool raised = DesktopSession::waitUntil(
        [&] { return desktop.isAbove(window, cover) && desktop.activeWindow() == window; }, 3000);
    DesktopSession::end(other);
    return covered && raised && translateWindows().size() == 1;
}

void ShellDesktopTest::splashCloses_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("on its own") << false;
    QTest::newRow("on a key, not on a click") << true;
}

void ShellDesktopTest::splashCloses()
{
    QFETCH(bool, byKey);
    lexorn =
        desktop.startLexorn(service, DesktopSession::demoUser(), DesktopSession::demoPassword());
    QVERIFY(DesktopSession::waitUntil([this] { return !desktop.splashes().isEmpty(); }, 15000));
    QElapsedTimer shown;
    shown.start();
    const QRect splash = desktop.windowGeometry(desktop.splashes().first());
    if (byKey) {
        desktop.click(splash.center().x(), splash.center().y());
        QTest::qWait(300);
        QCOMPARE(desktop.splashes().size(), 1);
        desktop.key("space");
    } else {
        QCOMPARE(splash.size(), QSize(492, 283));
        QVERIFY((splash.center() - QPoint(640, 400)).manhattanLength() <= 2);
        desktop.screenshot("splash", splash.adjusted(-20, -20, 20, 20));
    }
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.splashes().isEmpty(); }, 8000));
    QVERIFY2(byKey == (shown.elapsed() < 2500), qPrintable(QString::number(shown.elapsed())));
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void ShellDesktopTest::aboutTwiceLeavesOneBox()
{
    QVERIFY(lexorn = desktop.startSignedIn());
    // The menu opens when the right button is released, not when it is pressed.
    desktop.xdotool({"mousemove", QString::number(icon().x()), QString::number(icon().y())});
    desktop.xdotool({"mousedown", "3"});
    QTest::qWait(700);
    QVERIFY(popupMenus().isEmpty());
    desktop.xdotool({"mouseup", "3"});
    QVERIFY(DesktopSession::waitUntil([this] { return !popupMenus().isEmpty(); }, 5000));
    const QRect menu = desktop.windowGeometry(popupMenus().first());
    desktop.screenshot("tray-menu", QRect(1280 - 320, 0, 320, menu.bottom() + 60));
    desktop.key("a");
    const qulonglong about = desktop.waitForWindow("^About Lexorn$");
    QVERIFY(about);
    QCOMPARE(desktop.windowGeometry(about).topLeft(), QPoint(156, 129));
    desktop.screenshot("about", desktop.windowGeometry(about).adjusted(-30, -50, 30, 30));

    QVERIFY(chooseFromTrayMenu("a"));
    QTest::qWait(700);
    QCOMPARE(desktop.windowsNamed("^About Lexorn$"), QList<qulonglong>{about});
    QVERIFY(DesktopSession::waitUntil([&] { return desktop.activeWindow() == about; }, 3000));
}

void ShellDesktopTest::exitAnsweredYes()
{
    QVERIFY(lexorn = desktop.startSignedIn());
    QVERIFY(chooseFromTrayMenu("x"));
    QVERIFY(desktop.waitForWindow("^Quit\\?$"));
    desktop.key("Return"); // Yes is the default answer
    QVERIFY(DesktopSession::waitUntil([this] { return lexorn->state() == QProcess::NotRunning; }));
    QCOMPARE(lexorn->exitStatus(), QProcess::NormalExit);
    QCOMPARE(lexorn->exitCode(), 0);
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id == 0; }, 3000));
}

void ShellDesktopTest::hotKeyShowsTheTranslationWindow()
{
    QVERIFY(lexorn = desktop.startSignedIn());
    // Hidden by its OK button; closed by its close box, then created afresh.
    for (const QString away : {"alt+o", "close box"}) {
        desktop.key("super+t");
        const qulonglong window = desktop.waitForWindow("^Translate Text$");
        QVERIFY(window);
        desktop.activate(window);
        away == "alt+o" ? desktop.key(away) : desktop.clickCloseBox(window);
        QVERIFY(desktop.waitForNoWindow("^Translate Text$"));
    }
    desktop.xdotool({"key", "Num_Lock", "super+t", "Num_Lock"}); // NumLock does not stop it
    const qulonglong window = desktop.waitForWindow("^Translate Text$");
    QVERIFY(window);
    // Shown already but behind another program's window, it is brought up.
    QVERIFY(raisedFromBehind(window, [this] { desktop.key("super+t"); }));
}

void ShellDesktopTest::hotKeyHeldElsewhere()
{
    // Another client holds Super+T: the program runs without it, and its icon still works.
    KeyGrabber rival(desktop.display(), 0x74 /* t */, 1 << 6 /* Mod4 */);
    QVERIFY(rival.holds());
    QVERIFY(lexorn = desktop.startSignedIn());
    desktop.key("super+t");
    desktop.click(icon().x(), icon().y());
    QTest::qWait(1500);
    QVERIFY(translateWindows().isEmpty());

    doubleClickIcon(); // shows it, and again from behind another window
    QVERIFY(
        raisedFromBehind(desktop.waitForWindow("^Translate Text$"), [this] { doubleClickIcon(); }));
}

LEXORN_DESKTOP_TEST_MAIN(ShellDesktopTest)
#include "tst_shelldesktop.moc"
