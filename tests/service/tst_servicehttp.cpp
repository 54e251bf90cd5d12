#include "support/httpcall.h"
#include "support/servicebackend.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>

// The service from outside: its answers to bytes on the wire, where a password, whatever becomes
// of the request, shows up in no answer, log line or file; and the configurations it refuses.
namespace {

const QByteArray Secret = "Quokka-Lantern-5823";

QByteArray get(const QByteArray &target, const QByteArray &headers = "Host: lexorn\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
}

// A sign-in of the account made in initTestCase, its query padded to `length` bytes.
QByteArray signIn(qsizetype length = 0)
{
    const QByteArray query = "username=secret@lexorn.example&password=" + Secret + "&pad=";
    return "/lexorn/settings.php?" + query + QByteArray(qMax(0, length - query.size()), 'a');
}

QByteArray report(qsizetype length)
{
    const QByteArray fields = "userid=1&src_lang=en&dest_lang=es&text=";
    return "POST /lexorn/banner.php HTTP/1.1\r\nHost: a\r\nContent-Length: " +
           QByteArray::number(length) + "\r\n\r\n" + fields +
           QByteArray(length - fields.size(), 'b');
}

} // namespace

class TestServiceHttp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void answers_data();
    void answers();
    void splitAndPipelinedRequests();
    void noiseDoesNotStopTheService();
    void passwordStaysOutOfLogAndFiles();
    void refusedConfiguration_data();
    void refusedConfiguration();

private:
    bool stillServing()
    {
        return rawStatus(rawHttp(service.port(), get("/lexorn/welcome.php"))) == 200;
    }
    ServiceRunner service;
};

void TestServiceHttp::initTestCase()
{
    START_SERVICE(service);
    QCOMPARE(service.run({"--add-user", "secret@lexorn.example"}, Secret + '\n'), 0);
}

void TestServiceHttp::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("shows");
    const auto row = [](const char *name, const QByteArray &request, int status,
                        const QByteArray &shows = {}) {
        QTest::newRow(name) << request << status << shows;
    };
    row("query of 64 KiB", get(signIn(64 * 1024)), 200);
    row("query one byte longer", get(signIn(64 * 1024 + 1)), 414);
    row("query of 1 MiB", get(signIn(1024 * 1024)), 414);
    row("body of 1 MiB", report(1024 * 1024), 200);
    // Refused from the headers alone, before the body arrives.
    row("body one byte longer",
        "POST /lexorn/banner.php HTTP/1.1\r\nHost: a\r\nContent-Length: 1048577\r\n\r\nxx", 413);
    row("not http", "hello there\r\n\r\n", 400);
    row("no host", "GET / HTTP/1.1\r\n\r\n", 400);
    row("no colon", get("/", "Host: lexorn\r\nnonsense\r\n"), 400);
    row("two lengths", get("/", "Host: lexorn\r\nContent-Length: 1\r\nContent-Length: 2\r\n"), 400);
    row("control byte", get(signIn(), "Host: lexorn\r\nX-A: a\x01z\r\n"), 400);
    row("absolute target", get("http://lexorn/"), 400);
    row("bad port", get("/", "Host: lexorn:99999\r\n"), 400);
    row("chunked", get("/", "Host: lexorn\r\nTransfer-Encoding: chunked\r\n"), 411);
    row("unknown method", "BREW / HTTP/1.1\r\nHost: lexorn\r\n\r\n", 501);
    row("other version", "GET " + signIn() + " HTTP/2.0\r\n\r\n", 505);
    row("many headers", get(signIn(), "Host: a\r\n" + QByteArray("X-A: 1\r\n").repeated(200)), 431);
    row("huge header", get("/", "X-A: " + QByteArray(40000, 'h') + "\r\n"), 431);
    row("HTTP/1.0 without host", "GET /lexorn/welcome.php HTTP/1.0\r\n\r\n", 200);
    row("wrong method", "DELETE " + signIn() + " HTTP/1.1\r\nHost: lexorn\r\n\r\n", 405);
    row("path lookalike", get("/lexorn/settingsXphp"), 404);
    // Find a Translator lists those of the pair.
    row("translators", get("/lexorn/findtran.php?userid=1&src_lang=en&trg_lang=es"), 200,
        "Tomás Ibarra");
    row("no translators", get("/lexorn/findtran.php?userid=1&src_lang=es&trg_lang=es"), 200,
        "No translators");
    // The program's views may post to the pages they show.
    row("empty post to a page",
        "POST /lexorn/translating.php HTTP/1.1\r\nHost: a\r\nContent-Length: 0\r\n\r\n", 200);
}

void TestServiceHttp::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, shows);
    const QByteArray answer = rawHttp(service.port(), request);
    QCOMPARE(rawStatus(answer), status);
    QVERIFY2(answer.contains(shows) && !answer.contains(Secret), answer.left(400).constData());
    QVERIFY(stillServing());
}

void TestServiceHttp::splitAndPipelinedRequests()
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), service.port());
    // A report with its body, then a request cut in two: framed right, and holding up nobody.
    socket.write(report(60) + "GET /lexorn/none.php HTTP/1.1\r\nHo");
    QTRY_COMPARE(socket.bytesToWrite(), 0);
    QVERIFY(stillServing());
    socket.write("st: a\r\n\r\n");
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += socket.readAll()).contains("HTTP/1.1 404 "), 10000);
    QVERIFY2(got.startsWith("HTTP/1.1 200 "), got.constData());
}

void TestServiceHttp::noiseDoesNotStopTheService()
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 60; ++round) {
        // Half the rounds get past the first line.
        QByteArray noise = round % 2 ? "POST /lexorn/signup.php HTTP/1.1\r\nHost: a\r\n" : "";
        while (random.bounded(1500))
            noise += char(random.bounded(256));
        rawHttp(service.port(), noise, 300);
    }
    QVERIFY(rawHttp(service.port(), get(signIn())).contains("\r\n\r\nvalid:"));
}

void TestServiceHttp::passwordStaysOutOfLogAndFiles()
{
    service.stop();
    const QString log = QString::fromUtf8(service.log());
    QVERIFY2(!log.contains(Secret) && !log.contains("password="), qPrintable(log));
    // One line per request: time, method, path without the query, status, milliseconds.
    QVERIFY(log.contains(QRegularExpression("(?m)^\\S+ GET /lexorn/settings\\.php 414 \\d+ms$")));
    QVERIFY(log.contains(QRegularExpression("(?m)^\\S+ GET /lexorn/settings\\.php 200 \\d+ms$")));
    bool hashStored = false;
    for (const QFileInfo &entry : QDir(service.directory()).entryInfoList(QDir::Files)) {
        QFile file(entry.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(!bytes.contains(Secret), qPrintable(entry.fileName()));
        hashStored = hashStored || bytes.contains("pbkdf2-sha256$");
    }
    QVERIFY(hashStored);
}

void TestServiceHttp::refusedConfiguration_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, const char *section, const char *line,
                        const char *reason) {
        QTest::newRow(name) << QString(section) << QString(line) << QString(reason);
    };
    row("beyond Latin-1", "languages", "3 = ja, 日本語", "ISO-8859-1");
    row("index out of reach", "languages", "7 = de, Deutsch", "index 7");
    row("same code twice", "languages", "3 = en, Englisch", "twice");
    row("unlisted language", "apertium", "en -> fr = eng-fra", "fr is not listed");
    row("marker text may hold", "apertium", "result_end = &amp;", "result_end");
    row("cap beyond 16 bits", "accounts", "cap = 40000", "cap");
    row("misspelt key", "service", "prot = 80", "unknown key");
    row("unknown section", "extras", "a = b", "unknown section");
    row("relative link", "links", "welcome = welcome.php", "welcome");
}

void TestServiceHttp::refusedConfiguration()
{
    QFETCH(QString, section);
    QFETCH(QString, line);
    QFETCH(QString, reason);
    ServiceRunner refusing(ServiceRunner::withLine(ServiceRunner::demoConfig(), section, line));
    QByteArray errors;
    QCOMPARE(refusing.run({}, {}, nullptr, &errors), 2);
    QVERIFY2(errors.contains(reason.toUtf8()), errors.constData());
    QVERIFY2(!QFile::exists(refusing.directory() + "/demo.sqlite"), "no database made");
}

QTEST_GUILESS_MAIN(TestServiceHttp)
#include "tst_servicehttp.moc"
