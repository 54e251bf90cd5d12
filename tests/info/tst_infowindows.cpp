#include "info/frmabout.h"
#include "info/frmsplash.h"
#include "support/testmain.h"
#include "ui_frmabout.h"
#include "ui_frmsplash.h"

#include <QPushButton>
#include <QTimer>

// What closes the splash screen and the About box; the desktop tests drive the rest of them.
class InfoWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmSplash::Unload();
        frmAbout::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void splashTimerIsNotRestartedByActivation()
    {
        frmSplash &splash = frmSplash::instance();
        splash.show();
        QTest::qWait(1000);
        const int left = splash.timTimer->remainingTime();
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&splash, &activation);
        QVERIFY(splash.timTimer->remainingTime() <= left);
    }

    void closesOn_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<bool>("closes");
        dataRow("splash: Enter", "splash", int(Qt::Key_Return), true);
        dataRow("splash: a letter over a label", "splash label", int(Qt::Key_A), true);
        dataRow("splash: Shift alone", "splash", int(Qt::Key_Shift), false);
        dataRow("splash: a click on a label", "splash label", 0, false);
        dataRow("About: OK", "about OK", 0, true);
        dataRow("About: Enter", "about", int(Qt::Key_Return), true);
    }

    void closesOn()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(bool, closes);
        QWidget *window = target.startsWith("splash")
                              ? static_cast<QWidget *>(&frmSplash::instance())
                              : &frmAbout::instance();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QWidget *receiver = target == "splash label"
                                ? frmSplash::instance().controls().lblProductName
                            : target == "about OK" ? frmAbout::instance().controls().cmdOK
                                                   : window;
        if (key)
            QTest::keyClick(receiver, Qt::Key(key));
        else
            QTest::mouseClick(receiver, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(!frmSplash::exists() && !frmAbout::exists(), closes);
    }
};

LEXORN_TEST_MAIN(InfoWindowsTest)
#include "tst_infowindows.moc"
