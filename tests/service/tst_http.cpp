#include "http/exchange.h"
#include "support/service.h"
#include "support/testmain.h"

// The real lexorn-service, sent bytes as they are: the guard that frames requests and refuses
// those that break the rules (the query's limit is a sign-in's, in tst_accounts), the routes, and
// the reading of the program's UTF-8. And which client a request comes from, behind trusted
// proxies (10.0.0.1 and 10.0.0.2) or not.
class tst_Http : public QObject
{
    Q_OBJECT

    Service service{"[service]\nhead_timeout = 2"};

private Q_SLOTS:
    void initTestCase() { QVERIFY2(service.start(), service.log().constData()); }

    void answers_data()
    {
        columns<QByteArray, int, QByteArray>({"request", "status", "shows"});
        const QByteArray in = signIn("demo@lexorn.example", Secret);
        const QByteArray report = "userid=1&src_lang=en&dest_lang=es&text=";
        row("body of 1 MiB", post(report.leftJustified(1 << 20, 'b')), 200);
        // Refused from the headers alone, before the body arrives.
        row("body one byte longer", post(QByteArray((1 << 20) + 1, 'b')).first(99), 413);
        row("not http", "hello there\r\n\r\n", 400);
        row("no host", "GET / HTTP/1.1\r\n\r\n", 400);
        row("no colon", get("/", "Host: a\r\nnonsense\r\n"), 400);
        row("two lengths", get("/", "Host: a\r\nContent-Length: 1\r\nContent-Length: 2\r\n"), 400);
        row("control byte", get(in, "Host: a\r\nX-A: a\x01z\r\n"), 400);
        row("absolute target", get("http://lexorn/"), 400);
        row("bad port", get("/", "Host: lexorn:99999\r\n"), 400);
        row("chunked", get("/", "Host: a\r\nTransfer-Encoding: chunked\r\n"), 411);
        row("unknown method", "BREW / HTTP/1.1\r\nHost: a\r\n\r\n", 501);
        row("other version", "GET " + in + " HTTP/2.0\r\n\r\n", 505);
        // Each one over its limit (100 fields; 16 KiB of head, each line's CR counted); short of
        // it, the missing Host would be the fault.
        row("many headers", get(in, QByteArray("X: 1\r\n").repeated(101)), 431);
        row("huge header", get("/", "X-A: " + QByteArray(16 * 1024 - 6, 'h') + "\r\n"), 431);
        row("headers at their limit", get(in, "Host: a\r\n" + QByteArray("X: 1\r\n").repeated(99)),
            200);
        // 72 KiB of request line, its CR counted; a byte more is too long.
        row("line at its limit", get("/" + QByteArray(72 * 1024 - 15, 'p')), 404);
        row("line one over", get("/" + QByteArray(72 * 1024 - 14, 'p')), 414);
        row("blank line before", "\r\n" + get("/lexorn/welcome.php"), 200);
        row("HTTP/1.0 without host", "GET /lexorn/welcome.php HTTP/1.0\r\n\r\n", 200);
        row("wrong method", "DELETE " + in + " HTTP/1.1\r\nHost: a\r\n\r\n", 405);
        row("path lookalike", get("/lexorn/settingsXphp"), 404);
        // The program encodes each UTF-16 unit on its own, so a character beyond U+FFFF arrives
        // as two three-byte sequences; the service shows a language code it does not know.
        const QByteArray zz = "/lexorn/translate.php?text=a&dest=es&src=zz";
        row("program's emoji", get(zz + "%ED%A0%BD%ED%B8%80"), 404, "zz\xF0\x9F\x98\x80 to es");
        row("noncharacter U+FFFF", get(zz + "%EF%BF%BF"), 404, "zz\xEF\xBF\xBF to es");
        row("half without its partner", get(zz + "x%ED%A0%BDy"), 404, "zzx\xEF\xBF\xBDy to es");
        row("byte that is no UTF-8", get(zz + "x%FFy"), 404, "zzx\xEF\xBF\xBDy to es");
        row("emoji in a form", post("userid=1&dest_lang=es&text=a&src_lang=zz%ED%A0%BD%ED%B8%80"),
            200, "zz\xF0\x9F\x98\x80 to ");
    }

    void answers() { checkAnswer(service.port); }

    void requestInTwoParts()
    {
        // A report with its body, then a request cut in two: framed right, and holding up nobody.
        const auto socket = sendRaw(service.port, post("userid=1&src_lang=en&dest_lang=es&text=x") +
                                                      "GET /none HTTP/1.1\r\nHo");
        QVERIFY(rawHttp(service.port, get("/lexorn/welcome.php")).startsWith("HTTP/1.1 200 "));
        socket->write("st: a\r\n\r\n");
        QByteArray got;
        QTRY_VERIFY2((got += socket->readAll()).contains("HTTP/1.1 404 ") &&
                         got.startsWith("HTTP/1.1 200 "),
                     got.constData());
    }

    // A head that trickles in line by line has to end in time all the same.
    void headInTime()
    {
        const auto slow = sendRaw(service.port, "GET / HTTP/1.1\r\n");
        for (int i = 0; i < 15 && !slow->waitForReadyRead(200); ++i)
            slow->write("X: 1\r\n");
        const QByteArray answer = slow->readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 408 "), answer.constData());
    }

    void client_data()
    {
        columns<QString, QByteArrayList, QString>({"peer", "forwarded", "client"});
        const auto via = [](const char *name, const char *peer, const QByteArrayList &forwarded,
                            const char *client) {
            QTest::newRow(name) << QString(peer) << forwarded << QString(client);
        };
        via("untrusted peer", "192.0.2.9", {"203.0.113.5"}, "192.0.2.9");
        via("through a proxy", "10.0.0.1", {"203.0.113.5"}, "203.0.113.5");
        via("without a header", "10.0.0.1", {}, "10.0.0.1");
        // What the client itself wrote before the proxy's entry is not believed.
        via("made-up entries", "10.0.0.1", {"1.1.1.1, 203.0.113.5"}, "203.0.113.5");
        via("two proxies", "10.0.0.1", {"1.1.1.1", "203.0.113.5 ,10.0.0.2"}, "203.0.113.5");
        via("not an address", "10.0.0.1", {"1.1.1.1, bogus"}, "10.0.0.1");
    }

    void client()
    {
        const auto [peer, forwarded, client] =
            fetch<QString, QByteArrayList, QString>("peer", "forwarded", "client");
        QList<std::pair<QByteArray, QByteArray>> headers = {{"Host", "a"}};
        for (const QByteArray &value : forwarded)
            headers.append({"X-Forwarded-For", value});
        QCOMPARE(clientAddress(QHostAddress(peer), headers,
                               {QHostAddress("10.0.0.1"), QHostAddress("10.0.0.2")}),
                 QHostAddress(client));
    }
};

LEXORN_TEST_MAIN(tst_Http)
#include "tst_http.moc"
