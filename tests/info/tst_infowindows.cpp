#include "info/frmabout.h"
#include "info/frmsplash.h"
#include "support/testmain.h"
#include "ui_frmabout.h"
#include "ui_frmsplash.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace platform;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class InfoWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void splashShowsTheIdentity();
    void splashClosesOnItsTimer();
    void splashTimerIsNotRestartedByActivation();
    void splashInput_data();
    void splashInput();
    void aboutShowsTheIdentity();
    void aboutCloses_data();
    void aboutCloses();
};

void InfoWindowsTest::cleanup()
{
    frmSplash::Unload();
    frmAbout::Unload();
    settle();
}

void InfoWindowsTest::splashShowsTheIdentity()
{
    Ui::frmSplash &controls = frmSplash::instance().controls();
    QCOMPARE(controls.lblVersion->text(), QStringLiteral("Version 1.4.1"));
    QCOMPARE(controls.lblCopyright->text(), QStringLiteral("Copyright © 2026 Korvath"));
    // The product name grows to fit its text rather than cutting it off.
    QVERIFY(controls.lblProductName->width() >= controls.lblProductName->sizeHint().width());
}

void InfoWindowsTest::splashClosesOnItsTimer()
{
    frmSplash &splash = frmSplash::instance();
    QVERIFY(!splash.timTimer->isActive()); // off until the splash is shown and active
    QElapsedTimer clock;
    splash.show();
    clock.start();
    QVERIFY(splash.timTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!frmSplash::exists(), 6000);
    QVERIFY2(clock.elapsed() >= 2900, qPrintable(QString::number(clock.elapsed())));
}

void InfoWindowsTest::splashTimerIsNotRestartedByActivation()
{
    frmSplash &splash = frmSplash::instance();
    splash.show();
    QTest::qWait(1000);
    const int left = splash.timTimer->remainingTime();
    QEvent activation(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&splash, &activation);
    QVERIFY(splash.timTimer->remainingTime() <= left);
}

void InfoWindowsTest::splashInput_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("closes");

    QTest::newRow("letter") << "window"
                            << "a" << true;
    QTest::newRow("Enter") << "window"
                           << "Enter" << true;
    QTest::newRow("Esc") << "window"
                         << "Esc" << true;
    QTest::newRow("letter over a label") << "label"
                                         << "a" << true;
    QTest::newRow("Shift alone") << "window"
                                 << "Shift" << false;
    QTest::newRow("mouse click") << "window"
                                 << "click" << false;
    QTest::newRow("mouse click on a label") << "label"
                                            << "click" << false;
}

void InfoWindowsTest::splashInput()
{
    QFETCH(QString, target);
    QFETCH(QString, input);
    QFETCH(bool, closes);

    frmSplash &splash = frmSplash::instance();
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QWidget *receiver = target == QLatin1String("label")
                            ? static_cast<QWidget *>(splash.controls().lblProductName)
                            : &splash;
    if (input == QLatin1String("click"))
        QTest::mouseClick(receiver, Qt::LeftButton);
    else if (input == QLatin1String("Enter"))
        QTest::keyClick(receiver, Qt::Key_Return);
    else if (input == QLatin1String("Esc"))
        QTest::keyClick(receiver, Qt::Key_Escape);
    else if (input == QLatin1String("Shift"))
        QTest::keyClick(receiver, Qt::Key_Shift);
    else
        QTest::keyClick(receiver, input.at(0).toLatin1());
    settle();
    QCOMPARE(!frmSplash::exists(), closes);
}

void InfoWindowsTest::aboutShowsTheIdentity()
{
    frmAbout &about = frmAbout::instance();
    QCOMPARE(about.windowTitle(), QStringLiteral("About Lexorn"));
    QCOMPARE(about.controls().lblVersion->text(), QStringLiteral("Version 1.4.1"));
    // The client area at its stored place and size.
    QCOMPARE(about.geometry(), QRect(156, 129, 382, 237));
}

void InfoWindowsTest::aboutCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "OK";
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close";
}

void InfoWindowsTest::aboutCloses()
{
    QFETCH(QString, how);

    frmAbout &about = frmAbout::instance();
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QSignalSpy destroyed(&about, &QObject::destroyed);
    if (how == QLatin1String("OK"))
        QTest::mouseClick(about.controls().cmdOK, Qt::LeftButton);
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(&about, Qt::Key_Return);
    else if (how == QLatin1String("Esc"))
        QTest::keyClick(&about, Qt::Key_Escape);
    else
        about.close();
    settle();
    QCOMPARE(destroyed.size(), 1);
    QVERIFY(!frmAbout::exists());
}

LEXORN_TEST_MAIN(InfoWindowsTest)
#include "tst_infowindows.moc"
