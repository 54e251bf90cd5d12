#include "platform/trayicon.h"
#include "platform/windowproc.h"
#include "shell/frmtrayicon.h"
#include "shell/modtrayicon.h"
#include "startup/frmmain.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace platform;

namespace {

struct Delivery
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Lets the deferred deletions of closed windows happen, so the next touch creates them afresh.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool trayIconPresent(QWidget *window)
{
    NOTIFYICONDATA probe;
    probe.hWnd = window;
    probe.uID = 1;
    return Shell_NotifyIcon(NIM_MODIFY, probe);
}

} // namespace

class TrayIconTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void activationsReachTheOwner_data();
    void activationsReachTheOwner();
    void iconIsAddedOnceAndRemovedOnce();
    void notificationCode_data();
    void notificationCode();
    void exitAnsweredNoChangesNothing();
    void exitAnsweredYesShutsDown();

private:
    // What a call does: shows the translation window, pops up the tray menu (its captions), or
    // nothing.
    struct Outcome
    {
        bool translateWindowShown = false;
        QStringList menu;
    };
    Outcome observe(const std::function<void()> &call);
};

void TrayIconTest::cleanup()
{
    if (frmTranslateText::exists())
        frmTranslateText::Unload();
    if (frmTrayIcon::exists()) {
        RemoveTrayIcon(&frmTrayIcon::instance());
        frmTrayIcon::instance().SetScaleMode(FormBase::vbTwips);
    }
    settle();
}

TrayIconTest::Outcome TrayIconTest::observe(const std::function<void()> &call)
{
    Outcome outcome;
    QTimer watcher;
    watcher.setInterval(5);
    connect(&watcher, &QTimer::timeout, [&outcome] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (const QAction *action : menu->actions())
                outcome.menu.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            menu->close();
        }
    });
    watcher.start();
    call();
    watcher.stop();
    outcome.translateWindowShown =
        frmTranslateText::exists() && frmTranslateText::instance().isVisible();
    return outcome;
}

void TrayIconTest::activationsReachTheOwner_data()
{
    QTest::addColumn<bool>("xembed");
    QTest::addColumn<int>("reason");              // -1: Qt reports no activation
    QTest::addColumn<QList<int>>("widgetEvents"); // right button events on the XEmbed icon widget
    QTest::addColumn<QList<int>>("codes");

    const int release = QEvent::MouseButtonRelease;
    const int doubleClick = QEvent::MouseButtonDblClick;
    // XEmbed: Qt reports presses; the right button's release comes from its icon widget.
    QTest::newRow("XEmbed click") << true << int(QSystemTrayIcon::Trigger) << QList<int>{}
                                  << QList<int>{0x202};
    QTest::newRow("XEmbed double click")
        << true << int(QSystemTrayIcon::DoubleClick) << QList<int>{} << QList<int>{0x203};
    QTest::newRow("XEmbed right press")
        << true << int(QSystemTrayIcon::Context) << QList<int>{} << QList<int>{0x204};
    QTest::newRow("XEmbed right click")
        << true << int(QSystemTrayIcon::Context) << QList<int>{release} << QList<int>{0x204, 0x205};
    // A second right click soon after the first is a double click to Qt, with no activation.
    QTest::newRow("XEmbed quick second right click")
        << true << -1 << QList<int>{doubleClick, release} << QList<int>{0x206, 0x205};
    // StatusNotifier: no double clicks, and a context request is the whole right click.
    QTest::newRow("StatusNotifier activate")
        << false << int(QSystemTrayIcon::Trigger) << QList<int>{} << QList<int>{0x203};
    QTest::newRow("StatusNotifier context")
        << false << int(QSystemTrayIcon::Context) << QList<int>{} << QList<int>{0x204, 0x205};
}

void TrayIconTest::activationsReachTheOwner()
{
    QFETCH(bool, xembed);
    QFETCH(int, reason);
    QFETCH(QList<int>, widgetEvents);
    QFETCH(QList<int>, codes);

    QWidget owner;
    QList<Delivery> delivered;
    SetWindowLong(&owner, GWL_WNDPROC, [&](HWND window, UINT message, WPARAM w, LPARAM l) {
        if (window == &owner)
            delivered.append({message, w, l});
        return LRESULT(0);
    });
    // Stands for Qt's internal XEmbed icon widget, which is found by its name.
    std::unique_ptr<QWidget> xembedIcon;
    if (xembed) {
        xembedIcon = std::make_unique<QWidget>();
        xembedIcon->setObjectName(QStringLiteral("QSystemTrayIconSys"));
    }

    NOTIFYICONDATA data;
    data.hWnd = &owner;
    data.uID = 7;
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = 0x8123;
    QPixmap image(16, 16);
    image.fill(Qt::blue);
    data.hIcon = QIcon(image);
    QVERIFY(Shell_NotifyIcon(NIM_ADD, data));
    auto *icon = owner.findChild<QSystemTrayIcon *>();
    QVERIFY(icon);
    QVERIFY(!icon->contextMenu());

    if (reason >= 0)
        Q_EMIT icon->activated(QSystemTrayIcon::ActivationReason(reason));
    for (int type : widgetEvents) {
        QMouseEvent event(QEvent::Type(type), QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::RightButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(xembedIcon.get(), &event);
    }
    settle();

    QCOMPARE(delivered.size(), codes.size());
    for (qsizetype i = 0; i < codes.size(); ++i) {
        QCOMPARE(delivered.at(i).message, 0x8123u);
        QCOMPARE(delivered.at(i).wParam, WPARAM(7));
        QCOMPARE(LoWord(delivered.at(i).lParam), codes.at(i));
    }
    QVERIFY(Shell_NotifyIcon(NIM_DELETE, data));
}

void TrayIconTest::iconIsAddedOnceAndRemovedOnce()
{
    QWidget &window = frmTrayIcon::instance();
    AddTrayIcon(window.windowIcon(), &window);
    QVERIFY(trayIconPresent(&window));
    QVERIFY(!Shell_NotifyIcon(NIM_ADD, TrayIconData));
    RemoveTrayIcon(&window);
    QVERIFY(!trayIconPresent(&window));
}

void TrayIconTest::notificationCode_data()
{
    QTest::addColumn<int>("scaleMode");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("outcome");

    const int twips = FormBase::vbTwips;
    const int pixels = FormBase::vbPixels;
    QTest::newRow("twips: double click") << twips << 515.0 * 15 << "window";
    QTest::newRow("twips: right button up") << twips << 517.0 * 15 << "menu";
    QTest::newRow("twips: rounds up to a double click") << twips << 514.5 * 15 << "window";
    QTest::newRow("twips: rounds down to a double click") << twips << 515.4 * 15 << "window";
    QTest::newRow("twips: just below a double click") << twips << 514.4 * 15 << "nothing";
    QTest::newRow("twips: single click") << twips << 514.0 * 15 << "nothing";
    QTest::newRow("twips: right button down") << twips << 516.0 * 15 << "nothing";
    QTest::newRow("twips: right double click") << twips << 518.0 * 15 << "nothing";
    QTest::newRow("twips: code as if pixels") << twips << 515.0 << "nothing";
    QTest::newRow("pixels: double click") << pixels << 515.0 << "window";
    QTest::newRow("pixels: right button up") << pixels << 517.0 << "menu";
    QTest::newRow("pixels: rounds to a right button up") << pixels << 516.6 << "menu";
    QTest::newRow("pixels: move") << pixels << 512.0 << "nothing";
    QTest::newRow("pixels: code as if twips") << pixels << 515.0 * 15 << "nothing";
}

void TrayIconTest::notificationCode()
{
    QFETCH(int, scaleMode);
    QFETCH(double, x);
    QFETCH(QString, outcome);

    frmTrayIcon &tray = frmTrayIcon::instance();
    tray.SetScaleMode(scaleMode);
    const Outcome seen = observe([&] { tray.Form_MouseMove(0, 0, x, 0); });
    QCOMPARE(seen.translateWindowShown, outcome == QLatin1String("window"));
    if (outcome == QLatin1String("menu"))
        QCOMPARE(seen.menu,
                 QStringList({QStringLiteral("&Translate Text"), QStringLiteral("&About"),
                              QStringLiteral("-"), QStringLiteral("E&xit")}));
    else
        QVERIFY(seen.menu.isEmpty());

    // The same code through the window procedure, as the icon delivers it, in either unit.
    cleanup();
    tray.SetScaleMode(scaleMode);
    const int code = qRound(scaleMode == FormBase::vbPixels ? x : x / 15);
    const Outcome delivered = observe([&] { SendMessage(&tray, WM_MOUSEMOVE, 1, code); });
    QCOMPARE(delivered.translateWindowShown, seen.translateWindowShown);
    QCOMPARE(delivered.menu, seen.menu);
}

void TrayIconTest::exitAnsweredNoChangesNothing()
{
    frmTrayIcon &tray = frmTrayIcon::instance();
    AddTrayIcon(tray.windowIcon(), &tray);
    frmMain::instance();
    tray.mnuTranslateText->trigger();

    MessageBoxRecorder boxes;
    boxes.answers = {vbNo};
    ProcessEndTrap trap;
    tray.mnuExit->trigger();
    settle();

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().prompt, QStringLiteral("Are you sure you want to quit?"));
    QCOMPARE(boxes.shown.first().style, 36);
    QCOMPARE(boxes.shown.first().title, QStringLiteral("Quit?"));
    QVERIFY(frmTrayIcon::exists());
    QVERIFY(trayIconPresent(&tray));
    QVERIFY(frmMain::exists());
    QVERIFY(frmTranslateText::exists() && frmTranslateText::instance().isVisible());
}

void TrayIconTest::exitAnsweredYesShutsDown()
{
    frmTrayIcon &tray = frmTrayIcon::instance();
    AddTrayIcon(tray.windowIcon(), &tray);
    frmMain::instance();

    MessageBoxRecorder boxes;
    boxes.answers = {vbYes};
    ProcessEndTrap trap;
    int status = -1;
    try {
        tray.mnuExit_Click();
    } catch (const ProcessEnded &ended) {
        status = ended.status;
    }
    QCOMPARE(status, 0);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(!trayIconPresent(&tray));
    settle();
    QVERIFY(!frmTrayIcon::exists());
    QVERIFY(!frmMain::exists());
}

LEXORN_TEST_MAIN(TrayIconTest)
#include "tst_trayicon.moc"
