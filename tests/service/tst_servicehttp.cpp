#include "support/httpcall.h"
#include "support/servicerunner.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray get(const QByteArray &target, const QByteArray &headers = "Host: lexorn\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
}

QByteArray post(const QByteArray &target, const QByteArray &body)
{
    return "POST " + target +
           " HTTP/1.1\r\nHost: lexorn\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

bool stillServing(const ServiceRunner &service)
{
    return rawStatus(rawHttp(service.port(), get("/lexorn/welcome.php"))) == 200;
}

} // namespace

class TestServiceHttp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void answers_data();
    void answers();
    void limitHoldsWhileTheBodyArrives();
    void keepAliveCarriesOnAfterABody();
    void halfSentRequestHoldsUpNobody();
    void noiseDoesNotStopTheService();

private:
    ServiceRunner *service = nullptr;
};

void TestServiceHttp::initTestCase()
{
    service = new ServiceRunner;
    QString error;
    QVERIFY2(service->start(&error), qPrintable(error));
}

void TestServiceHttp::cleanupTestCase()
{
    delete service;
}

void TestServiceHttp::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    const QByteArray settings =
        "/lexorn/settings.php?version=1.0.1&username=x@example.org&password=";
    const auto query = [&](qsizetype length) {
        const QByteArray start = settings.mid(settings.indexOf('?') + 1);
        return settings.left(settings.indexOf('?') + 1) + start +
               QByteArray(length - start.size(), 'a');
    };
    QTest::newRow("query of 64 KiB") << get(query(64 * 1024)) << 200;
    QTest::newRow("query one byte longer") << get(query(64 * 1024 + 1)) << 414;
    QTest::newRow("query of 1 MiB") << get(query(1024 * 1024)) << 414;

    const QByteArray report = "userid=1&src_lang=en&dest_lang=es&text=";
    const auto body = [&](qsizetype length) {
        return report + QByteArray(length - report.size(), 'b');
    };
    QTest::newRow("body of 1 MiB") << post("/lexorn/banner.php", body(1024 * 1024)) << 200;
    QTest::newRow("body one byte longer")
        << post("/lexorn/banner.php", body(1024 * 1024 + 1)) << 413;
    QTest::newRow("body announced only")
        << QByteArray("POST /lexorn/banner.php HTTP/1.1\r\nHost: lexorn\r\nContent-Length: "
                      "5000000000\r\n\r\n")
        << 413;

    QTest::newRow("not http") << QByteArray("hello there\r\n\r\n") << 400;
    QTest::newRow("binary") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n",
                                          16)
                            << 400;
    QTest::newRow("no host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("header without colon") << get("/", "Host: lexorn\r\nnonsense\r\n") << 400;
    QTest::newRow("folded header") << get("/", "Host: lexorn\r\nX-A: 1\r\n  2\r\n") << 400;
    QTest::newRow("bad length") << get("/", "Host: lexorn\r\nContent-Length: 12x\r\n") << 400;
    QTest::newRow("two lengths")
        << get("/", "Host: lexorn\r\nContent-Length: 1\r\nContent-Length: 2\r\n") << 400;
    QTest::newRow("control character") << get("/", "Host: lexorn\r\nX-A: a\x01z\r\n") << 400;
    QTest::newRow("space in target")
        << QByteArray("GET /a b HTTP/1.1\r\nHost: lexorn\r\n\r\n") << 400;
    QTest::newRow("absolute target") << get("http://lexorn/") << 400;
    QTest::newRow("bad host") << get("/", "Host: a b@c\r\n") << 400;
    QTest::newRow("bad port") << get("/", "Host: lexorn:99999\r\n") << 400;
    QTest::newRow("chunked body") << QByteArray("POST /lexorn/banner.php HTTP/1.1\r\nHost: "
                                                "lexorn\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                "0\r\n\r\n")
                                  << 411;
    QTest::newRow("unknown method")
        << QByteArray("BREW /pot HTTP/1.1\r\nHost: lexorn\r\n\r\n") << 501;
    QTest::newRow("other version") << QByteArray("GET / HTTP/2.0\r\nHost: lexorn\r\n\r\n") << 505;
    QTest::newRow("many headers") << get("/", "Host: lexorn\r\n" +
                                                  QByteArray("X-A: 1\r\n").repeated(200))
                                  << 431;
    QTest::newRow("huge header") << get("/",
                                        "Host: lexorn\r\nX-A: " + QByteArray(40000, 'h') + "\r\n")
                                 << 431;

    QTest::newRow("HTTP/1.0 without host")
        << QByteArray("GET /lexorn/welcome.php HTTP/1.0\r\n\r\n") << 200;
    QTest::newRow("unknown page") << get("/lexorn/nothing.php") << 404;
    QTest::newRow("wrong method")
        << QByteArray("DELETE /lexorn/settings.php HTTP/1.1\r\nHost: lexorn\r\n\r\n") << 405;
    QTest::newRow("path lookalike") << get("/lexorn/settingsXphp") << 404;
}

void TestServiceHttp::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const QByteArray answer = rawHttp(service->port(), request);
    QCOMPARE(rawStatus(answer), status);
    QVERIFY(stillServing(*service));
}

void TestServiceHttp::limitHoldsWhileTheBodyArrives()
{
    // The answer comes as soon as the headers show the body is too large, and the connection
    // ends without the service reading the megabytes first.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), service->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(
        "POST /lexorn/banner.php HTTP/1.1\r\nHost: lexorn\r\nContent-Length: 3000000\r\n\r\n");
    socket.write(QByteArray(64 * 1024, 'x'));
    QVERIFY(socket.waitForReadyRead(10000));
    QVERIFY(socket.readAll().startsWith("HTTP/1.1 413 "));
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
}

void TestServiceHttp::keepAliveCarriesOnAfterABody()
{
    // Two requests on one connection, the first with a body: the second is framed right after it.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), service->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(post("/lexorn/banner.php", "userid=1&src_lang=en&dest_lang=es&text=a") +
                 get("/lexorn/nothing.php", "Host: lexorn\r\nConnection: close\r\n"));
    QByteArray answers;
    QTRY_VERIFY_WITH_TIMEOUT(
        (answers += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState), 10000);
    answers += socket.readAll();
    QVERIFY2(answers.startsWith("HTTP/1.1 200 "), answers.constData());
    QVERIFY2(answers.indexOf("HTTP/1.1 404 ") > 0, answers.constData());
}

void TestServiceHttp::halfSentRequestHoldsUpNobody()
{
    QTcpSocket slow;
    slow.connectToHost(QStringLiteral("127.0.0.1"), service->port());
    QVERIFY(slow.waitForConnected(5000));
    slow.write("GET /lexorn/welcome.php HTTP/1.1\r\nHo");
    QVERIFY(slow.waitForBytesWritten(5000));
    QTest::qWait(100);
    QVERIFY(stillServing(*service));
    slow.write("st: lexorn\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(slow.waitForReadyRead(100) || slow.bytesAvailable() > 0, 10000);
    QVERIFY(slow.readAll().startsWith("HTTP/1.1 200 "));
}

void TestServiceHttp::noiseDoesNotStopTheService()
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 60; ++round) {
        QByteArray noise(random.bounded(1, 3000), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        // Half the rounds look like the start of a request, to get past the first line.
        if (round % 2)
            noise.prepend("POST /lexorn/signup.php HTTP/1.1\r\nHost: lexorn\r\n");
        rawHttp(service->port(), noise, 300);
    }
    QVERIFY(stillServing(*service));
    QVERIFY(httpGet(service->url(QStringLiteral(
                        "/lexorn/settings.php?version=1.0.1&username=demo@lexorn.example"
                        "&password=demo-password")))
                .body.startsWith("valid:"));
}

QTEST_GUILESS_MAIN(TestServiceHttp)
#include "tst_servicehttp.moc"
