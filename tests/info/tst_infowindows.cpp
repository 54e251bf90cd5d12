#include "info/frmabout.h"
#include "info/frmsplash.h"
#include "support/testmain.h"
#include "ui_frmabout.h"
#include "ui_frmsplash.h"

#include <QPushButton>
#include <QTimer>

// How long the splash screen stays, and what closes it and the About box; the desktop tier drives
// the rest of them.
class InfoWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closesOn_data()
    {
        // key: 0: a click
        columns<QString, int, bool>({"target", "key", "closes"});
        dataRow("splash: a letter over a label", "splash label", int(Qt::Key_A), true);
        dataRow("splash: Shift alone", "splash", int(Qt::Key_Shift), false);
        dataRow("splash: a click on a label", "splash label", 0, false);
        dataRow("About: OK", "about OK", 0, true);
    }

    void closesOn()
    {
        auto [target, key, closes] = fetch<QString, int, bool>("target", "key", "closes");
        const bool splash = target.startsWith("splash");
        QWidget *window =
            splash ? static_cast<QWidget *>(&frmSplash::instance()) : &frmAbout::instance();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(!splash || frmSplash::instance().timTimer->remainingTime() > 1000); // of 3 s
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
