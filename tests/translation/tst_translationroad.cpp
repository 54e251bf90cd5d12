#include "platform/dhtmledit.h"
#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "startup/modmain.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/servicebackend.h"
#include "support/servicerunner.h"
#include "support/testmain.h"
#include "translation/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>
#include <QPushButton>

using namespace platform;

namespace {

void signIn(const QByteArray &serviceHost, const QString &user, const QString &password)
{
    qputenv("LEXORN_SERVICE_HOST", serviceHost);
    SaveSetting(AppTitle(), "Login", "Username", user);
    SaveSetting(AppTitle(), "Login", "Password", password);
    SessionSettings = {};
}

// The orderly way out, stopped short of ending the test: every window of the run goes.
void shutDown()
{
    ProcessEndTrap trap;
    try {
        Shutdown();
    } catch (const ProcessEnded &) {
    }
    frmTranslateSplash::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

// From start-up to the translation in the result view and the report in the banner.
class tst_TranslationRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void translatingPageAtStartUp_data();
    void translatingPageAtStartUp();
    void translateWithTheService();
};

void tst_TranslationRoad::cleanup()
{
    shutDown();
}

void tst_TranslationRoad::translatingPageAtStartUp_data()
{
    QTest::addColumn<bool>("withLink");
    QTest::newRow("translating page") << true;
    QTest::newRow("no translating page") << false;
}

void tst_TranslationRoad::translatingPageAtStartUp()
{
    QFETCH(bool, withLink);
    LoopbackServer server;
    server.setHandler([&](const LoopbackServer::Request &request) {
        if (!request.target.startsWith("/lexorn/settings.php"))
            return LoopbackServer::Answer{200, "<p>One moment</p>"};
        QByteArray answer = "valid:\nabout:\tuserid\t7\nabout:\tlevel\t1\n";
        if (withLink)
            answer +=
                "link:\ttranslating\t" + server.url("/lexorn/translating.php").toUtf8() + "\n";
        return LoopbackServer::Answer{200, answer, "text/plain"};
    });
    signIn(server.hostAndPort(), "someone@example.com", "secret");

    Main();
    QCOMPARE(frmTranslateSplash::exists(), withLink);
    if (withLink) {
        frmTranslateSplash &splash = frmTranslateSplash::instance();
        QVERIFY(splash.isHidden());
        QTRY_COMPARE(splash.webTranslating->toPlainText(), QString("One moment"));
        QCOMPARE(server.requests.last().target, QByteArray("/lexorn/translating.php"));
    } else {
        QTest::qWait(100);
        QCOMPARE(server.requests.size(), 1); // the settings alone
    }
}

void tst_TranslationRoad::translateWithTheService()
{
    ServiceRunner service;
    START_SERVICE(service);
    signIn(service.hostAndPort(), "demo@lexorn.example", "demo-password");
    MessageBoxRecorder boxes;

    Main();
    QVERIFY(frmTranslateSplash::exists());
    frmTranslateText &window = frmTranslateText::instance();
    const int pair = window.cboTranslate->findText("English to Español");
    QVERIFY2(pair >= 0, "the demo account translates English to Spanish");
    window.cboTranslate->setCurrentIndex(pair);
    window.show();
    QTest::keyClicks(window.dhtFrom, "The house is red.");
    window.cmdTranslate->click();

    const QString translation = window.dhtTo->toPlainText();
    QVERIFY2(translation.contains("casa"), qPrintable(translation));
    QVERIFY(frmTranslateSplash::instance().isHidden());
    // The service answers the report with a page naming the pair.
    QTRY_VERIFY_WITH_TIMEOUT(window.webBanner->toPlainText().contains("English to Español"), 10000);
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.value(0).prompt));
}

LEXORN_TEST_MAIN(tst_TranslationRoad)
#include "tst_translationroad.moc"
