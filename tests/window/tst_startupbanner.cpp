#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "startup/modmain.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

using namespace platform;

// Start-up leaves the translation window created and hidden, its banner on the welcome page or
// out of the way.
class tst_StartupBanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void welcomePageOrNoBanner_data();
    void welcomePageOrNoBanner();
};

void tst_StartupBanner::welcomePageOrNoBanner_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("withLink");
    QTest::addColumn<bool>("banner");

    QTest::newRow("level 0 with a welcome page") << 0 << true << true;
    QTest::newRow("level 1") << 1 << true << false;
    QTest::newRow("no welcome page") << 0 << false << false;
}

void tst_StartupBanner::welcomePageOrNoBanner()
{
    QFETCH(int, level);
    QFETCH(bool, withLink);
    QFETCH(bool, banner);

    LoopbackServer server;
    const QByteArray welcome = server.url("/lexorn/welcome.php?u=1").toUtf8();
    server.setHandler([&](const LoopbackServer::Request &request) {
        if (!request.target.startsWith("/lexorn/settings.php"))
            return LoopbackServer::Answer{200, "<p>Welcome</p>"};
        QByteArray answer =
            "valid:\nabout:\tuserid\t7\nabout:\tlevel\t" + QByteArray::number(level) + "\n";
        if (withLink)
            answer += "link:\twelcome\t" + welcome + "\n";
        return LoopbackServer::Answer{200, answer, "text/plain"};
    });
    qputenv("LEXORN_SERVICE_HOST", server.hostAndPort());
    SaveSetting(AppTitle(), "Login", "Username", "someone@example.com");
    SaveSetting(AppTitle(), "Login", "Password", "secret");
    SessionSettings = {};

    Main();
    QVERIFY(frmTranslateText::exists());
    frmTranslateText &window = frmTranslateText::instance();
    const auto closeWindow = qScopeGuard([] {
        frmTranslateText::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    QVERIFY(window.isHidden());
    QCOMPARE(window.webBanner->Visible(), banner);

    if (banner) {
        QTRY_COMPARE(window.webBanner->toPlainText(), "Welcome");
        const LoopbackServer::Request &request = server.requests.last();
        QCOMPARE(request.method, "GET");
        QCOMPARE(request.target, "/lexorn/welcome.php?u=1");
        QCOMPARE(request.header("Content-Type"), "application/x-www-form-urlencoded");
    } else {
        QTest::qWait(100);
        QCOMPARE(server.requests.size(), 1); // the settings alone
    }
}

LEXORN_TEST_MAIN(tst_StartupBanner)
#include "tst_startupbanner.moc"
