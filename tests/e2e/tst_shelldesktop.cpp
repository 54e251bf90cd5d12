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
    void trayIconAppearsAfterSignIn();
    void splashClosesOnItsOwn();
    void splashClosesOnAKeyButNotOnAClick();
    void clicksOnTheIcon();
    void rightClickOpensTheMenuOnRelease();
    void aboutTwiceLeavesOneBox();
    void exitAnsweredNoKeepsRunning();
    void exitAnsweredYesEndsTheProgram();
    void hotKeyShowsTheTranslationWindow();
    void hotKeyHeldElsewhere();

private:
    // Starts the program signed in and waits until it sits in the tray, its splash gone.
    QProcess *startSignedIn();
    QList<qulonglong> splashes() const;
    QList<qulonglong> popupMenus() const;
    bool translateWindowShown() const;
    // Opens the tray menu as a person does: right button pressed and released over the icon.
    bool openTrayMenu() const;

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
        DesktopSession::end(lexorn);
    lexorn = nullptr;
    desktop.waitForNoWindow(QStringLiteral("^(Translate Text|About Lexorn|Quit\\?)$"), 3000);
}

QList<qulonglong> ShellDesktopTest::splashes() const
{
    QList<qulonglong> found;
    for (qulonglong window : desktop.windowsOfClass(QStringLiteral("^lexorn$"))) {
        if (desktop.windowType(window) == QLatin1String("_NET_WM_WINDOW_TYPE_SPLASH"))
            found.append(window);
    }
    return found;
}

QList<qulonglong> ShellDesktopTest::popupMenus() const
{
    // The program's unmanaged windows other than its tray icon.
    const qulonglong icon = desktop.trayIcon().id;
    QList<qulonglong> found;
    for (qulonglong window : desktop.windowsOfClass(QStringLiteral("^lexorn$"))) {
        if (window != icon && desktop.isOverrideRedirect(window))
            found.append(window);
    }
    return found;
}

bool ShellDesktopTest::translateWindowShown() const
{
    return !desktop.windowsNamed(QStringLiteral("^Translate Text$")).isEmpty();
}

QProcess *ShellDesktopTest::startSignedIn()
{
    QProcess *started =
        desktop.startLexorn(service, DesktopSession::demoUser(), DesktopSession::demoPassword());
    if (!DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000))
        return nullptr;
    if (!DesktopSession::waitUntil([this] { return splashes().isEmpty(); }, 8000))
        return nullptr;
    return started;
}

bool ShellDesktopTest::openTrayMenu() const
{
    const QPoint icon = desktop.trayIcon().geometry.center();
    desktop.mouseDown(icon.x(), icon.y(), 3);
    desktop.mouseUp(3);
    return DesktopSession::waitUntil([this] { return !popupMenus().isEmpty(); }, 5000);
}

void ShellDesktopTest::trayIconAppearsAfterSignIn()
{
    lexorn = desktop.startLexorn(service, {}, {});
    const qulonglong login = desktop.waitForWindow(QStringLiteral("^Login$"), 15000);
    QVERIFY(login);
    QVERIFY(desktop.trayIcon().id == 0);
    QVERIFY(splashes().isEmpty());

    desktop.activate(login);
    desktop.type(DesktopSession::demoUser());
    desktop.key(QStringLiteral("Tab"));
    desktop.type(DesktopSession::demoPassword());
    desktop.key(QStringLiteral("Return"));

    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000));
    QVERIFY(desktop.windowsNamed(QStringLiteral("^Login$")).isEmpty());
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void ShellDesktopTest::splashClosesOnItsOwn()
{
    lexorn =
        desktop.startLexorn(service, DesktopSession::demoUser(), DesktopSession::demoPassword());
    QVERIFY(DesktopSession::waitUntil([this] { return !splashes().isEmpty(); }, 15000));
    QElapsedTimer shown;
    shown.start();
    const QRect splash = desktop.windowGeometry(splashes().first());
    QCOMPARE(splash.size(), QSize(492, 283));
    // Centred on the 1280 x 800 screen.
    QVERIFY(qAbs(splash.center().x() - 640) <= 1 && qAbs(splash.center().y() - 400) <= 1);
    desktop.screenshot(QStringLiteral("splash"), splash.adjusted(-20, -20, 20, 20));

    QVERIFY(DesktopSession::waitUntil([this] { return splashes().isEmpty(); }, 8000));
    QVERIFY2(shown.elapsed() >= 2500, qPrintable(QString::number(shown.elapsed())));
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void ShellDesktopTest::splashClosesOnAKeyButNotOnAClick()
{
    lexorn =
        desktop.startLexorn(service, DesktopSession::demoUser(), DesktopSession::demoPassword());
    QVERIFY(DesktopSession::waitUntil([this] { return !splashes().isEmpty(); }, 15000));
    QElapsedTimer shown;
    shown.start();
    const QPoint middle = desktop.windowGeometry(splashes().first()).center();
    desktop.click(middle.x(), middle.y());
    QTest::qWait(300);
    QCOMPARE(splashes().size(), 1);

    desktop.key(QStringLiteral("space"));
    QVERIFY(DesktopSession::waitUntil([this] { return splashes().isEmpty(); }, 1000));
    QVERIFY2(shown.elapsed() < 2500, "closed by its timer, not by the key");
}

void ShellDesktopTest::clicksOnTheIcon()
{
    QVERIFY(lexorn = startSignedIn());
    const QPoint icon = desktop.trayIcon().geometry.center();

    desktop.click(icon.x(), icon.y());
    QTest::qWait(1000);
    QVERIFY(!translateWindowShown());

    desktop.doubleClick(icon.x(), icon.y());
    const qulonglong window = desktop.waitForWindow(QStringLiteral("^Translate Text$"));
    QVERIFY(window);
    QVERIFY(DesktopSession::waitUntil([&] { return desktop.activeWindow() == window; }, 3000));

    // Behind another program's window, a double click brings it to the front.
    QProcess *other = desktop.launch(QStringLiteral("xmessage"),
                                     {QStringLiteral("-geometry"), QStringLiteral("1000x700+20+40"),
                                      QStringLiteral("in front")});
    const qulonglong cover = desktop.waitForWindow(QStringLiteral("^xmessage$"));
    QVERIFY(cover);
    QVERIFY(DesktopSession::waitUntil([&] { return desktop.isAbove(cover, window); }, 3000));
    desktop.doubleClick(icon.x(), icon.y());
    QVERIFY(DesktopSession::waitUntil(
        [&] { return desktop.isAbove(window, cover) && desktop.activeWindow() == window; }, 3000));
    QCOMPARE(desktop.windowsNamed(QStringLiteral("^Translate Text$")).size(), 1);
    DesktopSession::end(other);
}

void ShellDesktopTest::rightClickOpensTheMenuOnRelease()
{
    QVERIFY(lexorn = startSignedIn());
    const QRect icon = desktop.trayIcon().geometry;

    desktop.mouseDown(icon.center().x(), icon.center().y(), 3);
    QTest::qWait(700);
    QVERIFY(popupMenus().isEmpty());
    desktop.mouseUp(3);
    QVERIFY(DesktopSession::waitUntil([this] { return !popupMenus().isEmpty(); }, 5000));
    const QRect menu = desktop.windowGeometry(popupMenus().first());
    desktop.screenshot(QStringLiteral("tray-menu"), QRect(1280 - 320, 0, 320, menu.bottom() + 60));

    // "&Translate Text" by its access key.
    desktop.key(QStringLiteral("t"));
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Translate Text$")));
    QVERIFY(popupMenus().isEmpty());
}

void ShellDesktopTest::aboutTwiceLeavesOneBox()
{
    QVERIFY(lexorn = startSignedIn());
    QVERIFY(openTrayMenu());
    desktop.key(QStringLiteral("a"));
    const qulonglong about = desktop.waitForWindow(QStringLiteral("^About Lexorn$"));
    QVERIFY(about);
    QCOMPARE(desktop.windowGeometry(about).topLeft(), QPoint(156, 129));
    desktop.screenshot(QStringLiteral("about"),
                       desktop.frameGeometry(about).adjusted(-20, -20, 20, 20));

    QVERIFY(openTrayMenu());
    desktop.key(QStringLiteral("a"));
    QTest::qWait(700);
    QCOMPARE(desktop.windowsNamed(QStringLiteral("^About Lexorn$")), QList<qulonglong>{about});
    QVERIFY(DesktopSession::waitUntil([&] { return desktop.activeWindow() == about; }, 3000));

    desktop.key(QStringLiteral("Escape"));
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^About Lexorn$")));
}

void ShellDesktopTest::exitAnsweredNoKeepsRunning()
{
    QVERIFY(lexorn = startSignedIn());
    QVERIFY(openTrayMenu());
    desktop.key(QStringLiteral("x"));
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Quit\\?$")));
    desktop.key(QStringLiteral("n"));
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^Quit\\?$")));
    QTest::qWait(500);
    QCOMPARE(lexorn->state(), QProcess::Running);
    QVERIFY(desktop.trayIcon().id != 0);
}

void ShellDesktopTest::exitAnsweredYesEndsTheProgram()
{
    QVERIFY(lexorn = startSignedIn());
    QVERIFY(openTrayMenu());
    desktop.key(QStringLiteral("x"));
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Quit\\?$")));
    desktop.key(QStringLiteral("Return")); // Yes is the default answer
    QVERIFY(DesktopSession::waitForExit(lexorn));
    QCOMPARE(lexorn->exitStatus(), QProcess::NormalExit);
    QCOMPARE(lexorn->exitCode(), 0);
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id == 0; }, 3000));
}

void ShellDesktopTest::hotKeyShowsTheTranslationWindow()
{
    QVERIFY(lexorn = startSignedIn());
    QVERIFY(!translateWindowShown());

    desktop.key(QStringLiteral("super+t"));
    qulonglong window = desktop.waitForWindow(QStringLiteral("^Translate Text$"));
    QVERIFY(window);

    // Hidden by its OK button, then shown again.
    desktop.activate(window);
    desktop.key(QStringLiteral("alt+o"));
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^Translate Text$")));
    desktop.key(QStringLiteral("super+t"));
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Translate Text$")));

    // Closed with its close box, then created afresh.
    window = desktop.windowsNamed(QStringLiteral("^Translate Text$")).first();
    desktop.activate(window);
    desktop.clickCloseBox(window);
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^Translate Text$")));
    desktop.key(QStringLiteral("super+t"));
    window = desktop.waitForWindow(QStringLiteral("^Translate Text$"));
    QVERIFY(window);

    // Shown already but behind another program's window, it is brought up.
    QProcess *other = desktop.launch(QStringLiteral("xmessage"),
                                     {QStringLiteral("-geometry"), QStringLiteral("1000x700+20+40"),
                                      QStringLiteral("in front")});
    const qulonglong cover = desktop.waitForWindow(QStringLiteral("^xmessage$"));
    QVERIFY(DesktopSession::waitUntil([&] { return desktop.isAbove(cover, window); }, 3000));
    desktop.key(QStringLiteral("super+t"));
    QVERIFY(DesktopSession::waitUntil(
        [&] { return desktop.isAbove(window, cover) && desktop.activeWindow() == window; }, 3000));
    QCOMPARE(desktop.windowsNamed(QStringLiteral("^Translate Text$")).size(), 1);
    DesktopSession::end(other);

    // NumLock does not stop it.
    desktop.activate(window);
    desktop.key(QStringLiteral("alt+o"));
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^Translate Text$")));
    desktop.key(QStringLiteral("Num_Lock"));
    desktop.key(QStringLiteral("super+t"));
    desktop.key(QStringLiteral("Num_Lock"));
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Translate Text$")));
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void ShellDesktopTest::hotKeyHeldElsewhere()
{
    KeyGrabber rival(desktop.display(), 0x74 /* t */, 1 << 6 /* Mod4 */);
    QVERIFY(rival.holds());
    QVERIFY(lexorn = startSignedIn());

    desktop.key(QStringLiteral("super+t"));
    QTest::qWait(1500);
    QVERIFY(!translateWindowShown());
    QCOMPARE(lexorn->state(), QProcess::Running);

    const QPoint icon = desktop.trayIcon().geometry.center();
    desktop.doubleClick(icon.x(), icon.y());
    QVERIFY(desktop.waitForWindow(QStringLiteral("^Translate Text$")));
}

LEXORN_DESKTOP_TEST_MAIN(ShellDesktopTest)
#include "tst_shelldesktop.moc"
