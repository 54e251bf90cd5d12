#include "platform/identity.h"
#include "platform/network.h"
#include "platform/settingsstore.h"
#include "startup/frmlogin.h"
#include "startup/modmain.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/signin.h"
#include "support/testmain.h"
#include "ui_frmlogin.h"

#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

using namespace platform;

class TestLoadSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void sendsTheStoredCredentialsUnescaped();
    void validAnswers_data();
    void validAnswers();
    void endingAnswers_data();
    void endingAnswers();
    void loginErrorSignsInAgain();
    void nobodyListening();
    void serverThatNeverAnswers();

private:
    LoopbackServer *server = nullptr;
};

void TestLoadSettings::init()
{
    delete server;
    server = new LoopbackServer(this);
    qputenv("LEXORN_SERVICE_HOST", server->hostAndPort());
    storeCredentials("someone@example.com", "secret");
    SessionSettings = SessionSettingsRecord{};
}

void TestLoadSettings::sendsTheStoredCredentialsUnescaped()
{
    storeCredentials("tom&jerry@example.com", "p w");
    server->answerWith(200, "valid:");
    bool loaded = false;
    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(loaded);
    QCOMPARE(server->requests.size(), 1);
    // The ampersand splits the user name into an extra parameter on the service's side.
    QCOMPARE(server->requests.first().target,
             QByteArray("/lexorn/settings.php?version=1.0.1&username=tom&jerry@example.com"
                        "&password=p%20w"));
}

void TestLoadSettings::validAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("userId");
    QTest::newRow("valid alone") << QByteArray("valid:") << QString();
    QTest::newRow("valid with text") << QByteArray("valid:\tWelcome\nabout:\tuserid\t42") << "42";
    QTest::newRow("latin-1 bytes stay one unit each")
        << QByteArray("valid:\nabout:\tuserid\t\xe9\xff") << QString::fromLatin1("\xe9\xff");
}

void TestLoadSettings::validAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, userId);
    server->answerWith(200, answer);
    MessageBoxRecorder boxes;
    bool loaded = false;
    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(loaded);
    QVERIFY(boxes.shown.isEmpty());
    QCOMPARE(SessionSettings.UserId, userId);
}

void TestLoadSettings::endingAnswers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");

    QTest::newRow("404 page") << 404 << QByteArray("<h1>404 Not Found</h1>")
                              << "Cannot get settings!" << int(vbCritical);
    QTest::newRow("404 text with status 200")
        << 200 << QByteArray("valid:\nlink:\tbanner\t404 Not Found") << "Cannot get settings!"
        << int(vbCritical);
    QTest::newRow("fatal error") << 200 << QByteArray("error:\tfatal\tYour account is disabled.")
                                 << "Your account is disabled." << int(vbCritical);
    QTest::newRow("unknown error kind")
        << 200 << QByteArray("error:\tbusy\tTry later.") << "Invalid settings!" << int(vbCritical);
    QTest::newRow("bad status line")
        << 200 << QByteArray("<html>hello</html>") << "Invalid settings!" << int(vbCritical);
    QTest::newRow("bad request page")
        << 400 << QByteArray("Bad Request") << "Invalid settings!" << int(vbCritical);
    QTest::newRow("server error page")
        << 500 << QByteArray("Internal Server Error") << "Invalid settings!" << int(vbCritical);
    QTest::newRow("version mismatch")
        << 200 << QByteArray("valid:\nabout:\tuserid\t1\nabout:\tversion\t1.0.2\nabout:\tuserid\t2")
        << "Data Version mismatch [1.0.2]" << int(vbCritical);
    QTest::newRow("CR LF line ends") << 200 << QByteArray("valid:\r\nabout:\tversion\t1.0.1\r\n")
                                     << "Data Version mismatch [1.0.1\r]" << int(vbCritical);
}

void TestLoadSettings::endingAnswers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    QFETCH(int, icon);
    server->answerWith(status, answer);
    MessageBoxRecorder boxes;
    QCOMPARE(loadSettingsEnding(), 1);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().prompt, message);
    QCOMPARE(boxes.shown.first().title, QStringLiteral("Error"));
    QCOMPARE(boxes.shown.first().style, icon);
    if (QByteArray(QTest::currentDataTag()) == "version mismatch")
        QCOMPARE(SessionSettings.UserId, QStringLiteral("1")); // lines after it are not applied
}

void TestLoadSettings::loginErrorSignsInAgain()
{
    server->setHandler([](const LoopbackServer::Request &request) {
        const bool accepted = request.target.contains("username=new@example.com&password=pw2");
        return LoopbackServer::Answer{200, accepted ? "valid:\nabout:\tuserid\t9"
                                                    : "error:\tlogin\tWrong password."};
    });
    MessageBoxRecorder boxes;
    // When the service's message has been read, the user signs in again with padded input.
    boxes.onShow = [](const MessageBoxRequest &) {
        QTimer::singleShot(0, [] {
            frmLogin &dialog = frmLogin::instance();
            dialog.controls().txtUserName->setText("  new@example.com ");
            dialog.controls().txtPassword->setText(" pw2  ");
            dialog.controls().cmdOK->click();
        });
    };

    bool loaded = true;
    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(!loaded);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().prompt, QStringLiteral("Wrong password."));
    QCOMPARE(boxes.shown.first().style, int(vbInformation));
    QCOMPARE(boxes.shown.first().title, QStringLiteral("Error"));
    QVERIFY(frmLogin::instance().isHidden());
    QCOMPARE(SessionSettings.UserId, QString()); // nothing changed by the rejected load

    QCOMPARE(loadSettingsEnding(&loaded), -1);
    QVERIFY(loaded);
    QCOMPARE(SessionSettings.UserId, QStringLiteral("9"));
    QCOMPARE(server->requests.size(), 2);
    frmLogin::Unload();
}

void TestLoadSettings::nobodyListening()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("LEXORN_SERVICE_HOST", "127.0.0.1:" + QByteArray::number(port));

    MessageBoxRecorder boxes;
    QCOMPARE(loadSettingsEnding(), 1);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(boxes.shown.first().prompt.startsWith("Cannot get settings!\n\n"));
    QVERIFY(boxes.shown.first().prompt.size() > QStringLiteral("Cannot get settings!\n\n").size());
    QCOMPARE(boxes.shown.first().style, int(vbCritical));
}

void TestLoadSettings::serverThatNeverAnswers()
{
    server->setHandler([](const LoopbackServer::Request &) {
        LoopbackServer::Answer answer;
        answer.hang = true;
        return answer;
    });
    const int usual = transferTimeout();
    setTransferTimeout(300);
    MessageBoxRecorder boxes;
    const int status = loadSettingsEnding();
    setTransferTimeout(usual);
    QCOMPARE(status, 1);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(boxes.shown.first().prompt.startsWith("Cannot get settings!\n\n"));
}

LEXORN_TEST_MAIN(TestLoadSettings)
#include "tst_loadsettings.moc"
