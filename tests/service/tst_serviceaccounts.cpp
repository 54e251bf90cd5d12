#include "startup/frmlogin.h"
#include "startup/sessionsettings.h"
#include "support/httpcall.h"
#include "support/recorders.h"
#include "support/servicebackend.h"
#include "support/signin.h"
#include "support/testmain.h"
#include "ui_frmlogin.h"

#include <QPushButton>
#include <QTimer>

#include <map>

using namespace platform;

const QString Leaving = uniqueEmail("leaving"); // signed in once, then disabled

// Accounts and reports on each database; the program's own loader reads the sign-in answers.
class TestServiceAccounts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { addBackendRows(); }
    void init();
    void loadSettings_data();
    void loadSettings();
    void signUp_data();
    void signUp();
    void reports();
    void administration();

private:
    std::map<QString, std::unique_ptr<ServiceRunner>> services; // one per database, kept
    ServiceRunner *service = nullptr;
};

void TestServiceAccounts::init()
{
    QFETCH_GLOBAL(QString, database);
    if (database.isEmpty())
        QSKIP("LEXORN_TEST_PG names no PostgreSQL server");
    std::unique_ptr<ServiceRunner> &runner = services[database];
    if (!runner) {
        runner = std::make_unique<ServiceRunner>(
            ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
        START_SERVICE(*runner);
        QCOMPARE(runner->run({"--add-user", Leaving}, "goodbye-now\n"), 0);
        // The credentials are remembered now: disabling must still win.
        QVERIFY(runner->settingsAnswer(Leaving, "goodbye-now").startsWith("valid:"));
        QCOMPARE(runner->run({"--disable-user", Leaving.toUpper()}), 0);
    }
    service = runner.get();
    qputenv("LEXORN_SERVICE_HOST", service->hostAndPort());
    SessionSettings = SessionSettingsRecord{};
}

void TestServiceAccounts::loadSettings_data()
{
    QTest::addColumn<QString>("user"); // '*': the disabled account
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("box"); // the style of the one message shown, 0 for none
    const auto row = [](const char *name, const char *user, const char *password, int box) {
        QTest::newRow(name) << QString(user) << QString(password) << box;
    };
    const int login = vbInformation;
    row("demo", "demo@lexorn.example", "demo-password", 0);
    row("wrong password", "demo@lexorn.example", "demo-passwort", login);
    row("unknown", "nobody@lexorn.example", "demo-password", login);
    row("no password", "demo@lexorn.example", "", login);
    // The program does not escape the user name: "&" ends it early.
    row("ampersand", "demo&x@lexorn.example", "demo-password", login);
    row("disabled", "*", "goodbye-now", vbCritical);
    // A wrong password does not give the state away.
    row("disabled, wrong password", "*", "guessing-1", login);
}

void TestServiceAccounts::loadSettings()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, box);
    storeCredentials(user == "*" ? Leaving : user, password);
    MessageBoxRecorder boxes;
    // The login dialog that follows a login error: signed in right this time.
    boxes.onShow = [](const MessageBoxRequest &shown) {
        if (shown.style == vbInformation)
            QTimer::singleShot(0, [] {
                auto &controls = frmLogin::instance().controls();
                controls.txtUserName->setText("demo@lexorn.example");
                controls.txtPassword->setText("demo-password");
                controls.cmdOK->click();
            });
    };
    QCOMPARE(loadSettingsEnding(), box == vbCritical ? 1 : -1);
    QCOMPARE(boxes.shown.size(), box ? 1 : 0);
    if (box) {
        QCOMPARE(boxes.shown.first().style, box);
        QCOMPARE(boxes.shown.first().prompt,
                 box == vbCritical ? "This account has been disabled."
                                   : "The e-mail address or the password is not correct.");
        return;
    }
    const SessionSettingsRecord &got = SessionSettings;
    QCOMPARE(got.Providers.size(), 2);
    const Provider &back = got.Providers.at(1);
    QCOMPARE(got.Languages.value(back.SourceLanguage.toInt()).Name, "Español"); // sent as Latin-1
    QCOMPARE(back.UrlTemplate, service->url("/lexorn/translate.php?").toString() +
                                   "src=%src_lang%&dest=%dest_lang%&text=%text_encode%");
}

void TestServiceAccounts::signUp_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    const auto row = [](const char *name, const char *email, const char *password, int status) {
        QTest::newRow(name) << QString(email) << QString(password) << status;
    };
    // '*' is made unique; the password has a space, which a browser sends as '+'.
    row("created", "New.*@Example.org", "tea+biscuits 42", 200);
    row("not an address", "a\"<b>.example.org", "Kettle-Moss-17", 400);
    row("seven characters", "seven@example.org", "1234567", 400);
    row("unsendable", "amp@example.org", "salt&pepper", 400);
    row("taken", "DEMO@Lexorn.Example", "Kettle-Moss-17", 409);
}

void TestServiceAccounts::signUp()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(int, status);
    email.replace('*', QUuid::createUuid().toString(QUuid::Id128));
    const QByteArray form = "email=" + QUrl::toPercentEncoding(email) +
                            "&password=" + QUrl::toPercentEncoding(password).replace("%20", "+");
    const HttpResult result = httpPost(service->url("/lexorn/signup.php"), form);
    QCOMPARE(result.status, status);
    QVERIFY2(!result.body.contains(password.toUtf8()), result.body.constData());
    // A refused form comes back with the address filled in, escaped.
    QVERIFY(status == 200 ||
            result.body.contains("value=\"" + email.toHtmlEscaped().toUtf8() + '"'));
    // Signed in with the address in any case; '+' in the password is itself.
    QCOMPARE(service->settingsAnswer(email.toLower(), password).startsWith("valid:"),
             status == 200);
    QFETCH_GLOBAL(QString, database);
    if (status != 200 || database != ServiceRunner::testPostgres())
        return;
    // A second instance on the same server knows the account.
    ServiceRunner other(ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
    START_SERVICE(other);
    QVERIFY(other.settingsAnswer(email, password).startsWith("valid:"));
    QCOMPARE(httpPost(other.url("/lexorn/signup.php"), form).status, 409);
}

void TestServiceAccounts::reports()
{
    const QByteArray id = QUuid::createUuid().toByteArray(QUuid::Id128);
    const QUrl banner = service->url("/lexorn/banner.php");
    // As the program posts it: only the text is percent-encoded, as UTF-8.
    const HttpResult stored =
        httpPost(banner, "userid=" + id + "&src_lang=en&dest_lang=es&text=Hi%2C%20%C2%A1%C3%B1%2B");
    QCOMPARE(stored.status, 200);
    QCOMPARE(stored.contentType, QByteArray("text/html; charset=utf-8"));
    QCOMPARE(httpPost(banner, "userid=" + id + "-no-text&src_lang=en&dest_lang=es").status, 400);
    QByteArray reports;
    QCOMPARE(service->run({"--list-reports"}, {}, &reports), 0);
    QVERIFY2(reports.contains('\t' + id + "\ten\tes\tHi, \xc2\xa1\xc3\xb1+\n"),
             reports.constData());
    QVERIFY(!reports.contains(id + "-no-text"));
}

void TestServiceAccounts::administration()
{
    const QString user = uniqueEmail("Admin.Made");
    QByteArray output;
    QCOMPARE(
        service->run({"--add-user", user, "--level", "2", "--cap", "40"}, "long enough\n", &output),
        0);
    // The id printed is the one the answer gives.
    QVERIFY(service->settingsAnswer(user.toLower(), "long enough")
                .contains("\nabout:\tuserid\t" + output.split('\t').value(1).trimmed() +
                          "\nabout:\tlevel\t2\nabout:\tcap\t40\n"));
    QCOMPARE(service->run({"--add-user", user}, "another-one\n"), 1);
    QCOMPARE(service->run({"--enable-user", Leaving}), 0);
    QVERIFY(service->settingsAnswer(Leaving, "goodbye-now").startsWith("valid:"));
    QCOMPARE(service->run({"--disable-user", uniqueEmail("nobody")}), 1);
}

LEXORN_TEST_MAIN(TestServiceAccounts)
#include "tst_serviceaccounts.moc"
