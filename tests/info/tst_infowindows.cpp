#include "info/frmabout.h"
#include "info/frmsplash.h"
#include "support/testmain.h"

#include <QPushButton>
#include <QTimer>

// How long the splash screen stays, and what closes it and the About box; the desktop tier drives
// the rest of them.
class tst_InfoWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closesOn_data()
    {
        // onControl: the key or the click goes to the splash's label or the About box's OK, not
        // to the window; key: 0: a click
        columns<bool, bool, int, bool>({"splash", "onControl", "key", "closes"});
        dataRow("splash: a letter over a label", true, true, int(Qt::Key_A), true);
        dataRow("splash: Shift alone", true, false, int(Qt::Key_Shift), false);
        dataRow("splash: a click on a label", true, true, 0, false);
        dataRow("About: OK", false, true, 0, true);
        dataRow("About: Escape", false, false, int(Qt::Key_Escape), true);
    }

    void closesOn()
    {
        auto [splash, onControl, key, closes] = current<bool, bool, int, bool>();
        QWidget *control = splash ? static_cast<QWidget *>(frmSplash::instance().lblProductName)
                                  : frmAbout::instance().cmdOK;
        QWidget *window = control->window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::qWait(300); // then an activation, which must not start the splash's 3 s again
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(window, &activation);
        const int left = splash ? frmSplash::instance().timTimer->remainingTime() : 2000;
        QVERIFY2(left > 1000 && left < 2900, qPrintable(QString::number(left)));
        QWidget *receiver = onControl ? control : window;
        key ? QTest::keyClick(receiver, Qt::Key(key)) : QTest::mouseClick(receiver, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(!(splash ? frmSplash::exists() : frmAbout::exists()), closes);
        splash ? frmSplash::Unload() : frmAbout::Unload();
    }
};

LEXORN_TEST_MAIN(tst_InfoWindows)
#include "tst_infowindows.moc"
