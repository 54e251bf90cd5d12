#include "support/httpcall.h"
#include "support/servicebackend.h"

#include <QDir>
#include <QFile>
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

QByteArray post(const QByteArray &target, const QByteArray &body)
{
    return "POST " + target +
           " HTTP/1.1\r\nHost: lexorn\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
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
    return post("/lexorn/banner.php", fields + QByteArray(length - fields.size(), 'b'));
}

} // namespace

class TestServiceHttp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void answers_data();
    void answers();
    void inPieces_data();
    void inPieces();
    void noiseDoesNotStopTheService();
    void findTranslator();
    void passwordStaysOutOfLogAndFiles();
    void refusedConfiguration_data();
    void refusedConfiguration();

private:
    bool stillServing()
    {
        return rawStatus(rawHttp(service.port(), get("/lexorn/welcome.php"))) == 200;
    }
    ServiceRunner service{ServiceRunner::withLine(ServiceRunner::demoConfig(), "accounts",
                                                  "password_iterations = 1000")};
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
    const auto row = [](const char *name, const QByteArray &request, int status) {
        QTest::newRow(name) << request << status;
    };
    row("query of 64 KiB", get(signIn(64 * 1024)), 200);
    row("query one byte longer", get(signIn(64 * 1024 + 1)), 414);
    row("query of 1 MiB", get(signIn(1024 * 1024)), 414);
    row("body of 1 MiB", report(1024 * 1024), 200);
    row("body one byte longer", report(1024 * 1024 + 1), 413);
    row("not http", "hello there\r\n\r\n", 400);
    row("no host", "GET / HTTP/1.1\r\n\r\n", 400);
    row("no colon", get("/", "Host: lexorn\r\nnonsense\r\n"), 400);
    row("bad length", get("/", "Host: lexorn\r\nContent-Length: 12x\r\n"), 400);
    row("two lengths", get("/", "Host: lexorn\r\nContent-Length: 1\r\nContent-Length: 2\r\n"), 400);
    row("control byte", get(signIn(), "Host: lexorn\r\nX-A: a\x01z\r\n"), 400);
    row("absolute target", get("http://lexorn/"), 400);
    row("bad host", get("/", "Host: a b@c\r\n"), 400);
    row("bad port", get("/", "Host: lexorn:99999\r\n"), 400);
    row("chunked", get("/", "Host: lexorn\r\nTransfer-Encoding: chunked\r\n"), 411);
    row("unknown method", "BREW / HTTP/1.1\r\nHost: lexorn\r\n\r\n", 501);
    row("other version", "GET " + signIn() + " HTTP/2.0\r\n\r\n", 505);
    row("many headers", get(signIn(), "Host: a\r\n" + QByteArray("X-A: 1\r\n").repeated(200)), 431);
    row("huge header", get("/", "X-A: " + QByteArray(40000, 'h') + "\r\n"), 431);
    row("HTTP/1.0 without host", "GET /lexorn/welcome.php HTTP/1.0\r\n\r\n", 200);
    row("wrong method", "DELETE " + signIn() + " HTTP/1.1\r\nHost: lexorn\r\n\r\n", 405);
    row("path lookalike", get("/lexorn/settingsXphp"), 404);
    // The program's views may post to the pages they show.
    row("empty post to welcome", post("/lexorn/welcome.php", {}), 200);
    row("empty post to translating", post("/lexorn/translating.php", {}), 200);
}

void TestServiceHttp::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const QByteArray answer = rawHttp(service.port(), request);
    QCOMPARE(rawStatus(answer), status);
    QVERIFY2(!answer.contains(Secret), answer.left(400).constData());
    QVERIFY(stillServing());
}

void TestServiceHttp::inPieces_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("answers"); // a pattern for all that comes before the close
    QTest::newRow("half-sent request") << QByteArrayList{"GET /lexorn/welcome.php HTTP/1.1\r\nHo",
                                                         "st: a\r\nConnection: close\r\n\r\n"}
                                       << "^HTTP/1.1 200 ";
    // Answered from the headers alone, and closed without reading the megabytes first.
    QTest::newRow("body beyond the limit")
        << QByteArrayList{"POST /lexorn/banner.php HTTP/1.1\r\nHost: a\r\nContent-Length: "
                          "3000000\r\n\r\n" +
                          QByteArray(64 * 1024, 'x')}
        << "^HTTP/1.1 413 ";
    QTest::newRow("keep-alive after a body")
        << QByteArrayList{report(60) + get("/lexorn/none.php", "Host: a\r\nConnection: close\r\n")}
        << "(?s)^HTTP/1.1 200 .*HTTP/1.1 404 ";
}

void TestServiceHttp::inPieces()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, answers);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), service.port());
    for (const QByteArray &piece : pieces) {
        socket.write(piece);
        QTRY_COMPARE(socket.bytesToWrite(), 0);
        QVERIFY(stillServing()); // while a request is half-sent too
    }
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(
        (got += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState), 10000);
    got += socket.readAll();
    QVERIFY2(QString::fromLatin1(got).contains(QRegularExpression(answers)), got.constData());
}

void TestServiceHttp::noiseDoesNotStopTheService()
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 60; ++round) {
        QByteArray noise(random.bounded(1, 3000), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        // Half the rounds get past the first line.
        rawHttp(service.port(),
                (round % 2 ? "POST /lexorn/signup.php HTTP/1.1\r\nHost: lexorn\r\n" : "") + noise,
                300);
    }
    QVERIFY(rawHttp(service.port(), get(signIn())).contains("\r\n\r\nvalid:"));
}

void TestServiceHttp::findTranslator()
{
    const auto page = [this](const QString &pair) {
        return QString::fromUtf8(
            httpGet(service.url("/lexorn/findtran.php?userid=1&" + pair)).body);
    };
    const QString english = page("src_lang=en&trg_lang=es");
    QVERIFY(english.contains("Tomás Ibarra") && !english.contains("Hannah Brooks"));
    QVERIFY(page("src_lang=es&trg_lang=es").contains("No translators"));
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
        hashStored = hashStored || bytes.contains("pbkdf2-sha256$1000$");
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
