#include "info/frmabout.h"
#include "info/frmsplash.h"
#include "support/testmain.h"
#include "ui_frmabout.h"
#include "ui_frmsplash.h"

#include <QPushButton>
#include <QTimer>

// What closes the splash screen and the About box; the desktop tier drives the rest of them.
class InfoWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splashTimerIsNotRestartedByActivation()
    {
        frmSplash &splash = frmSplash::instance();
        splash.show();
        QTest::qWait(1000);
        const int left = splash.timTimer->remainingTime();
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&splash, &activation);
        QVERIFY(splash.timTimer->remainingTime() <= left);
        frmSplash::Unload();
    }

    void closesOn_data()
    {
        // key: 0: a click
        columns<QString, int, bool>({"target", "key", "closes"});
        dataRow("splash: Enter", "splash", int(Qt::Key_Return), true);
        dataRow("splash: a letter over a label", "splash label", int(Qt::Key_A), true);
        dataRow("splash: Shift alone", "splash", int(Qt::Key_Shift), false);
        dataRow("splash: a click on a label", "splash label", 0, false);
        dataRow("About: OK", "about OK", 0, true);
        dataRow("About: Enter", "about", int(Qt::Key_Return), true);
    }

    void closesOn()
    {
        auto [target, key, closes] = fetch<QString, int, bool>("target", "key", "closes");
        const bool splash = target.startsWith("splash");
        QWidget *window =
            splash ? static_cast<QWidget *>(&frmSplash::instance()) : &frmAbout::instance();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QWidget *receiver = target == "splash label"
                                ? frmSplash::instance().controls().lblProductName
                            : target == "about OK" ? frmAbout::instance().controls().cmdOK
                                                   : window;
        key ? QTest::keyClick(receiver, Qt::Key(key)) : QTest::mouseClick(receiver, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(!(splash ? frmSplash::exists() : frmAbout::exists()), closes);
        splash ? frmSplash::Unload() : frmAbout::Unload();
    }
};

LEXORN_TEST_MAIN(InfoWindowsTest)
#include "tst_infowindows.moc"
