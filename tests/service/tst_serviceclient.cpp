#include "platform/identity.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "startup/frmlogin.h"
#include "startup/modmain.h"
#include "startup/sessionsettings.h"
#include "support/recorders.h"
#include "support/servicerunner.h"
#include "support/signin.h"
#include "support/testmain.h"
#include "ui_frmlogin.h"

#include <QPushButton>
#include <QTimer>

using namespace platform;

// The program's own settings loader against the real service.
class TestServiceClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void loadsTheDemoAccount();
    void wrongPasswordSignsInAgain();
    void disabledAccountEndsTheProgram();

private:
    ServiceRunner *service = nullptr;
};

void TestServiceClient::initTestCase()
{
    service = new ServiceRunner;
    QString error;
    QVERIFY2(service->start(&error), qPrintable(error));
    qputenv("LEXORN_SERVICE_HOST", service->hostAndPort());
}

void TestServiceClient::cleanupTestCase()
{
    delete service;
}

void TestServiceClient::init()
{
    SessionSettings = SessionSettingsRecord{};
}

void TestServiceClient::loadsTheDemoAccount()
{
    storeCredentials("demo@lexorn.example", "demo-password");
    MessageBoxRecorder boxes;
    bool loaded = false;
    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(loaded);
    QVERIFY(boxes.shown.isEmpty());

    const QString base = QStringLiteral("http://") + QString::fromLatin1(service->hostAndPort());
    bool numeric = false;
    QVERIFY(SessionSettings.UserId.toInt(&numeric) > 0 && numeric);
    QCOMPARE(SessionSettings.Level, 0);
    QCOMPARE(SessionSettings.Cap, qint16(500));
    QCOMPARE(SessionSettings.TranslatingLink, base + "/lexorn/translating.php");
    QCOMPARE(SessionSettings.BannerLink, base + "/lexorn/banner.php");
    QCOMPARE(SessionSettings.WelcomeLink, base + "/lexorn/welcome.php");
    QCOMPARE(SessionSettings.FindTranLink,
             base + "/lexorn/findtran.php?userid=%userid%&src_lang=%src_lang%&trg_lang=%trg_lang%");

    QCOMPARE(SessionSettings.Languages.size(), 3);
    QCOMPARE(SessionSettings.Languages.at(0).Code, QString());
    QCOMPARE(SessionSettings.Languages.at(1).Code, QStringLiteral("en"));
    QCOMPARE(SessionSettings.Languages.at(1).Name, QStringLiteral("English"));
    QCOMPARE(SessionSettings.Languages.at(2).Code, QStringLiteral("es"));
    QCOMPARE(SessionSettings.Languages.at(2).Name, QStringLiteral("Español"));

    QCOMPARE(SessionSettings.Providers.size(), 2);
    const QString translate =
        base + "/lexorn/translate.php?src=%src_lang%&dest=%dest_lang%&text=%text_encode%";
    const QStringList pairs[] = {{"1", "2"}, {"2", "1"}};
    for (int i = 0; i < 2; ++i) {
        const Provider &provider = SessionSettings.Providers.at(i);
        QCOMPARE(provider.Id, i + 1);
        QCOMPARE(provider.SourceLanguage, pairs[i].at(0));
        QCOMPARE(provider.TargetLanguage, pairs[i].at(1));
        QCOMPARE(provider.ResultStart, QStringLiteral("<div id=\"result\">"));
        QCOMPARE(provider.ResultEnd, QStringLiteral("</div>"));
        QCOMPARE(provider.UrlTemplate, translate);
    }
}

void TestServiceClient::wrongPasswordSignsInAgain()
{
    storeCredentials("demo@lexorn.example", "not-the-password");
    MessageBoxRecorder boxes;
    boxes.onShow = [](const MessageBoxRequest &) {
        QTimer::singleShot(0, [] {
            frmLogin &dialog = frmLogin::instance();
            dialog.controls().txtUserName->setText("demo@lexorn.example");
            dialog.controls().txtPassword->setText("demo-password");
            dialog.controls().cmdOK->click();
        });
    };
    bool loaded = true;
    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(!loaded);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().style, int(vbInformation));
    QVERIFY(!boxes.shown.first().prompt.isEmpty());

    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(loaded);
    QCOMPARE(SessionSettings.Providers.size(), 2);
    frmLogin::Unload();
}

void TestServiceClient::disabledAccountEndsTheProgram()
{
    QCOMPARE(service->run({"--add-user", "leaving@example.org"}, "goodbye-now\n"), 0);
    QCOMPARE(service->run({"--disable-user", "leaving@example.org"}), 0);
    storeCredentials("leaving@example.org", "goodbye-now");
    MessageBoxRecorder boxes;
    QCOMPARE(loadSettingsEnding(), 1);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().style, int(vbCritical));
    QCOMPARE(boxes.shown.first().prompt, QStringLiteral("This account has been disabled."));
}

LEXORN_TEST_MAIN(TestServiceClient)
#include "tst_serviceclient.moc"
