// A password reaches the service in the query of every sign-in and in the sign-up form. Whatever
// becomes of the request, refused, malformed or cut off, the password must show up in no log line,
// no answer and no file of the service: the database keeps its hash only.
#include "support/httpcall.h"
#include "support/servicebackend.h"
#include "support/servicerunner.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

namespace {

const QByteArray Password = "Quokka-Lantern-5823";
const QByteArray Email = "credentials@lexorn.example";

QByteArray settingsTarget(const QByteArray &email, const QByteArray &password)
{
    return "/lexorn/settings.php?version=1.0.1&username=" + email + "&password=" + password;
}

QByteArray get(const QByteArray &target, const QByteArray &extraHeaders = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders +
           "Connection: close\r\n\r\n";
}

} // namespace

class TestServiceCredentials : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void passwordIsNeverEchoed_data();
    void passwordIsNeverEchoed();
    void passwordStaysOutOfLogAndFiles();

private:
    ServiceRunner *service = nullptr;
};

void TestServiceCredentials::initTestCase()
{
    service = new ServiceRunner(
        ServiceRunner::withLine(ServiceRunner::demoConfig(), QStringLiteral("accounts"),
                                QStringLiteral("password_iterations = 1000")));
    START_SERVICE(*service);
    const HttpResult signedUp = httpPost(
        service->url(QStringLiteral("/lexorn/signup.php")),
        "email=" + QUrl::toPercentEncoding(QString::fromLatin1(Email)) + "&password=" + Password);
    QCOMPARE(signedUp.status, 200);
    QVERIFY(!signedUp.body.contains(Password));
    const QByteArray answer = rawHttp(service->port(), get(settingsTarget(Email, Password)));
    QCOMPARE(rawStatus(answer), 200);
    QVERIFY(answer.contains("\r\n\r\nvalid:"));
}

void TestServiceCredentials::cleanupTestCase()
{
    delete service;
}

void TestServiceCredentials::passwordIsNeverEchoed_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    const QByteArray target = settingsTarget(Email, Password);
    QTest::newRow("wrong user") << get(settingsTarget("nobody@lexorn.example", Password)) << 200;
    QTest::newRow("query too long") << get(target + "&pad=" + QByteArray(70 * 1024, 'p')) << 414;
    QTest::newRow("unknown HTTP version")
        << QByteArray("GET " + target + " HTTP/9.9\r\nHost: 127.0.0.1\r\n\r\n") << 505;
    QTest::newRow("control byte in the header") << get(target, "X-Note: a\x01"
                                                               "b\r\n")
                                                << 400;
    QTest::newRow("too many headers")
        << get(target, QByteArray("X-Filler: 1\r\n").repeated(120)) << 431;
    QTest::newRow("method not allowed")
        << QByteArray("DELETE " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 405;
    QTest::newRow("sign-up of a taken address")
        << QByteArray("POST /lexorn/signup.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                      QByteArray::number(Email.size() + Password.size() + 16) +
                      "\r\n\r\nemail=" + Email + "&password=" + Password)
        << 409;
    QTest::newRow("sign-up with a bad address")
        << QByteArray("POST /lexorn/signup.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                      QByteArray::number(Password.size() + 24) +
                      "\r\n\r\nemail=not-an-address&password=" + Password)
        << 400;
}

void TestServiceCredentials::passwordIsNeverEchoed()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const QByteArray answer = rawHttp(service->port(), request);
    QCOMPARE(rawStatus(answer), status);
    QVERIFY2(!answer.contains(Password), answer.left(400).constData());
}

void TestServiceCredentials::passwordStaysOutOfLogAndFiles()
{
    service->stop();
    const QByteArray log = service->log();
    QVERIFY(log.contains(" 414 ") && log.contains(" 505 ") && log.contains(" 431 "));
    QVERIFY2(!log.contains(Password), log.constData());
    QVERIFY(!log.contains("password="));

    bool hashStored = false;
    const QDir directory(service->directory());
    for (const QString &name : directory.entryList(QDir::Files)) {
        QFile file(directory.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(!bytes.contains(Password), qPrintable(name));
        hashStored = hashStored || bytes.contains("pbkdf2-sha256$1000$");
    }
    QVERIFY(hashStored);
}

QTEST_GUILESS_MAIN(TestServiceCredentials)
#include "tst_servicecredentials.moc"
