#include "accounts/passwords.h"
#include "support/service.h"
#include "support/testmain.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>

#include <map>
#include <memory>
#include <vector>

// The real lexorn-service on SQLite, and on the PostgreSQL server LEXORN_TEST_PG names
// (scripts/pg-cluster start DIR PORT makes one): sent bytes as they are, signed in to by the
// program's own loader, translating with Apertium or with stand-ins for its engine.
namespace {

// A PostgreSQL database outlives the test, so each run makes addresses of its own.
const QString Run = '.' + QUuid::createUuid().toString(QUuid::Id128) + "@example.org";
// Leaving signs in once and is disabled; Newcomer signs up through the form.
const QString Leaving = "leaving" + Run, Newcomer = "New" + Run;
const QByteArray Secret = "Quokka"; // in every password sent, to show up in no answer, log or file
const QByteArray ReportId = QUuid::createUuid().toByteArray(QUuid::Id128);
const QByteArray Failed = "ERROR: Translation failed";

} // namespace

class TestService : public QObject
{
    Q_OBJECT

    std::map<QString, std::unique_ptr<Service>> services; // one per database, kept
    Service *service = nullptr;
    QTemporaryDir folder;
    Service echo{withEcho(folder)};

private Q_SLOTS:
    void initTestCase() { QVERIFY2(echo.start(), echo.log().constData()); }

    void initTestCase_data()
    {
        QTest::addColumn<QString>("database");
        dataRow("sqlite", QString("service.sqlite"));
        dataRow("postgresql", qEnvironmentVariable("LEXORN_TEST_PG"));
    }

    void init()
    {
        QFETCH_GLOBAL(QString, database);
        if (database.isEmpty())
            QSKIP("LEXORN_TEST_PG names no PostgreSQL server");
        std::unique_ptr<Service> &runner = services[database];
        if (!runner) {
            runner = std::make_unique<Service>("[service]\ndatabase = " + database);
            QVERIFY2(runner->start(), runner->log().constData());
            // The credentials are remembered once signed in: disabling must still win.
            QVERIFY(runner->run({"--add-user", Leaving}, Secret + "-leaving\n") == 0 &&
                    runner->settings(Leaving.toUtf8(), Secret + "-leaving").contains("\nvalid:") &&
                    runner->run({"--disable-user", Leaving.toUpper()}) == 0);
        }
        service = runner.get();
    }

    // One engine for its one mode, kept until it fails.
    void engine()
    {
        const QByteArray settings = echo.settings("demo@lexorn.example", "demo-password");
        QFile starts(folder.filePath("starts")); // made by the engine started with the service
        QVERIFY(settings.contains("\teng-spa\t") && !settings.contains("\tspa-eng\t") &&
                starts.open(QIODevice::ReadOnly) && starts.readAll().endsWith("eng-spa\n"));
        QNetworkAccessManager manager;
        std::vector<std::unique_ptr<QNetworkReply>> replies; // waiting their turn
        for (const char *text : {"t0", "t1", "t2", "t3", "t4", "t5", "fault-hang"})
            replies.emplace_back(manager.get(QNetworkRequest(
                QUrl(echo.base + "/lexorn/translate.php?src=en&dest=es&text=" + text))));
        for (int i = 0; i < 6; ++i)
            QTRY_VERIFY(replies.at(i)->isFinished() &&
                        replies.at(i)->peek(4096).contains(">t" + QByteArray::number(i) + "</"));
        QCOMPARE(starts.readAll(), ""); // all went to that engine
        // A hanging engine holds up no sign-in, and is ended after the time-out.
        QVERIFY(echo.settings("demo@lexorn.example", "demo-password").contains("\nvalid:") &&
                !replies.back()->isFinished());
        QTRY_VERIFY_WITH_TIMEOUT(replies.back()->isFinished(), 20000);
        QVERIFY(replies.back()->attribute(QNetworkRequest::HttpStatusCodeAttribute) == 504 &&
                replies.back()->readAll().contains(Failed));
        QVERIFY(rawHttp(echo.port, translate("dog")).contains(">dog</")); // from a fresh engine
        // A bad request after one still being translated is refused after that one's answer.
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", echo.port);
        socket.write(translate("slow-3"));
        QTest::qWait(500);
        socket.write("BREW / HTTP/1.1\r\nHost: a\r\n\r\n");
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += socket.readAll()).contains("HTTP/1.1 501 "), 10000);
        QVERIFY2(got.startsWith("HTTP/1.1 200 ") && got.contains(">slow-3</"), got.constData());
    }

    void answers_data()
    {
        // toEcho: the service with the stand-in engine
        columns<QByteArray, int, QByteArray, bool>({"request", "status", "shows", "toEcho"});
        const auto row = [](const char *name, const QByteArray &request, int status,
                            const QByteArray &shows = {}, bool toEcho = false) {
            QTest::newRow(name) << request << status << shows << toEcho;
        };
        const QByteArray leaving = Leaving.toUtf8(), password = Secret + "-leaving";
        const QByteArray in = signIn(leaving, password);
        row("query of 64 KiB", get(signIn(leaving, password, 64 * 1024)), 200,
            "\nerror:\tfatal\tThis account has been disabled.\n");
        row("query one byte longer", get(signIn(leaving, password, 64 * 1024 + 1)), 414);
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
        row("many headers", get(in, QByteArray("X: 1\r\n").repeated(200)), 431);
        row("huge header", get("/", "X-A: " + QByteArray(40000, 'h') + "\r\n"), 431);
        row("HTTP/1.0 without host", "GET /lexorn/welcome.php HTTP/1.0\r\n\r\n", 200);
        row("wrong method", "DELETE " + in + " HTTP/1.1\r\nHost: a\r\n\r\n", 405);
        row("path lookalike", get("/lexorn/settingsXphp"), 404);
        row("found", get("/lexorn/findtran.php?src_lang=en&trg_lang=es"), 200, "Tomás Ibarra");
        row("none", get("/lexorn/findtran.php?src_lang=es&trg_lang=es"), 200, "No translators");
        // The program's views may post to the pages they show.
        row("empty post to a page", post("", "/lexorn/translating.php"), 200);
        // As the program posts a report: only the text is percent-encoded, as UTF-8.
        const QByteArray reported = "userid=" + ReportId + "&src_lang=en&dest_lang=es";
        row("report", post(reported + "&text=Hi%2C%20%C2%A1%C3%B1%2B"), 200, "html; charset=utf-8");
        row("report without text", post(reported), 400);
        // Passwords the program could not send, or too short; a refused form keeps the address,
        // escaped. A browser sends a space as '+'.
        const auto signUp = [](const QByteArray &email, const QByteArray &password) {
            return post("email=" + email + "&password=" + password, "/lexorn/signup.php");
        };
        row("signed up", signUp(Newcomer.toUtf8(), Secret + "%2Bbiscuits+42"), 200);
        row("not an address", signUp("a%22%3Cb%3E", Secret + "-17"), 400,
            "value=\"a&quot;&lt;b&gt;\"");
        row("seven characters", signUp("seven@example.org", Secret + "1"), 400);
        row("eight characters", signUp(("eight" + Run).toUtf8(), Secret + "12"), 200);
        row("unsendable", signUp("amp@example.org", Secret + "%26pepper"), 400);
        row("taken", signUp("DEMO@Lexorn.Example", Secret + "-17"), 409);
        // In any case of letters; '+' in a password is itself, as the program sends it.
        row("signed up, signing in",
            get(signIn(Newcomer.toLower().toUtf8(), Secret + "+biscuits%2042")), 200, "\nvalid:");
        const QByteArray wrong =
            "error:\tlogin\tThe e-mail address or the password is not correct.\n";
        row("wrong password", get(signIn("demo@lexorn.example", "demo-passwort")), 200, wrong);
        row("unknown", get(signIn("nobody@lexorn.example", "demo-password")), 200, wrong);
        row("no password", get(signIn("demo@lexorn.example", "")), 200, wrong);
        // A wrong password does not give the state away.
        row("disabled, wrong password", get(signIn(leaving, "guessing-1")), 200, wrong);
        row("refused sign-up", get(signIn("seven@example.org", Secret + "1")), 200, wrong);
        row("taken, not changed", get(signIn("demo@lexorn.example", Secret + "-17")), 200, wrong);
        // The program encodes each UTF-16 unit on its own, so a character beyond U+FFFF arrives
        // as two three-byte sequences; the service shows a language code it does not know.
        const QByteArray zz = "/lexorn/translate.php?text=a&dest=es&src=zz";
        row("program's emoji", get(zz + "%ED%A0%BD%ED%B8%80"), 404, "zz\xF0\x9F\x98\x80 to es");
        row("noncharacter U+FFFF", get(zz + "%EF%BF%BF"), 404, "zz\xEF\xBF\xBF to es");
        row("half without its partner", get(zz + "x%ED%A0%BDy"), 404, "zzx\xEF\xBF\xBDy to es");
        row("byte that is no UTF-8", get(zz + "x%FFy"), 404, "zzx\xEF\xBF\xBDy to es");
        row("emoji in a form", post("userid=1&dest_lang=es&text=a&src_lang=zz%ED%A0%BD%ED%B8%80"),
            200, "zz\xF0\x9F\x98\x80 to ");
        row("en to es", translate("The house is red."), 200, "casa");
        row("paragraphs", translate("The house.\n\nThe dog [is] big."), 200, "perro [");
        row("pair not offered", translate("house", "src=en&dest=de"), 404, Failed);
        row("mode not installed", translate("casa", "src=es&dest=en"), 404, Failed, true);
        // What the text holds of Apertium's stream format or of HTML comes back as it was. A
        // failed engine is ended: the row after it needs a fresh one.
        const auto echoed = [&](const char *name, const QString &text) {
            const QString html = text.toHtmlEscaped().replace('\n', "<br>");
            row(name, translate(text), 200, "\"result\">" + html.toUtf8() + "</div>", true);
        };
        row("engine ends", translate("fault-end"), 502, Failed, true);
        row("through a pivot", translate("a [b]", "src=en&dest=ca"), 200, ">a [b]</", true);
        row("second step fails", translate("fault-catalan", "src=en&dest=ca"), 502, Failed, true);
        row("banner names the pivot", post("userid=1&src_lang=en&dest_lang=ca&text=a"), 200,
            "English to Català by Apertium, through Español.", true);
        echoed("stream's own characters", "a [b] ^c$ <d> @e \\f /g {h} ~i *j #k");
        echoed("markup", "1 < 2 & \"3\" </div> &amp;");
        row("engine answers without end", translate("fault-flood"), 502, Failed, true);
        echoed("blank line", "First one.\n\nSecond one");
        echoed("spacing and full stops", "  two   spaces\tand a tab.  Of.. It...  ");
        echoed("beyond ASCII", "niño € \U0001F600");
        // The demo accounts' cap is the default limit.
        echoed("as long as the cap", QString(500, 'a'));
        row("longer than the cap", translate(QString(501, 'a')), 413, Failed, true);
    }

    void answers()
    {
        auto [request, status, shows, toEcho] =
            fetch<QByteArray, int, QByteArray, bool>("request", "status", "shows", "toEcho");
        const QByteArray answer = rawHttp((toEcho ? &echo : service)->port, request);
        QCOMPARE(answer.mid(9, 3).toInt(), status);
        QVERIFY2(answer.contains(shows) && !answer.contains(Secret), answer.left(400).constData());
    }

    void requestInTwoParts()
    {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", service->port);
        // A report with its body, then a request cut in two: framed right, and holding up nobody.
        socket.write(post("userid=1&src_lang=en&dest_lang=es&text=x") + "GET /none HTTP/1.1\r\nHo");
        QTRY_COMPARE(socket.bytesToWrite(), 0);
        QVERIFY(rawHttp(service->port, get("/lexorn/welcome.php")).startsWith("HTTP/1.1 200 "));
        socket.write("st: a\r\n\r\n");
        QByteArray got;
        QTRY_VERIFY2((got += socket.readAll()).contains("HTTP/1.1 404 ") &&
                         got.startsWith("HTTP/1.1 200 "),
                     got.constData());
    }

    void administration()
    {
        const QString user = "Admin" + Run;
        const QStringList add = {"--add-user", user, "--level", "2", "--cap", "40"};
        QCOMPARE(service->run(add, Secret + "-admin\n"), 0);
        const QByteArray id = service->output.split('\t').value(1).trimmed();
        QCOMPARE((QList<int>{service->run({"--add-user", user}, Secret + "-other\n"),
                             service->run({"--enable-user", Leaving}),
                             service->run({"--disable-user", "nobody@example.org"}),
                             service->run({"--list-reports"})}),
                 (QList<int>{1, 0, 1, 0}));
        // The id printed is the one the answer gives; the password added first is kept.
        // The report without text is not kept.
        const QByteArray reports = service->output;
        QVERIFY(
            service->settings(user.toLower().toUtf8(), Secret + "-admin")
                .contains("\nabout:\tuserid\t" + id + "\nabout:\tlevel\t2\nabout:\tcap\t40\n") &&
            service->settings(Leaving.toUtf8(), Secret + "-leaving").contains("\nvalid:") &&
            reports.count(ReportId) == 1 &&
            reports.contains('\t' + ReportId + "\ten\tes\tHi, \xc2\xa1\xc3\xb1+\n"));
    }

    void limits()
    {
        QTemporaryDir engine;
        Service limited(withEcho(engine) +
                        "queue_per_client = 1\n[service]\nhead_timeout = 1\n"
                        "[accounts]\nfailures_before_delay = 2\n"
                        "password_queue_per_client = 1\npassword_iterations = 1000000\n"
                        "reports_per_client = 1");
        QVERIFY(limited.start());
        const auto sendFrom = [&](const QString &from, const QByteArray &request) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->bind(QHostAddress(from));
            socket->connectToHost("127.0.0.1", limited.port);
            socket->write(request);
            socket->waitForBytesWritten();
            return socket;
        };
        // A client beyond its share of the queue is turned away. A text that reaches the engine
        // late in its deadline is answered 504 then, and the engine, sound, is kept.
        auto early = sendFrom("127.0.0.7", translate("slow-1")),
             late = sendFrom("127.0.0.8", translate("slow-2"));
        QVERIFY(rawHttp(limited.port, translate("x"), "127.0.0.7").startsWith("HTTP/1.1 503 "));
        QTRY_VERIFY_WITH_TIMEOUT(late->bytesAvailable(), 10000);
        QFile starts(engine.filePath("starts"));
        QVERIFY(late->readAll().startsWith("HTTP/1.1 504 ") &&
                rawHttp(limited.port, translate("z"), "127.0.0.9").contains(">z</") &&
                starts.open(QIODevice::ReadOnly) && starts.readAll().count('\n') == 1);
        const auto signInFrom = [&](const QString &from, const QByteArray &password) {
            return rawHttp(limited.port, get(signIn("demo@lexorn.example", password)), from);
        };
        // After two wrong guesses the client and the account wait; the owner, known, does not.
        QVERIFY(signInFrom("127.0.0.4", "demo-password").contains("\nvalid:"));
        for (const char *guess : {"guess-1", "guess-2"})
            QVERIFY(signInFrom("127.0.0.3", guess).startsWith("HTTP/1.1 200 "));
        QVERIFY(signInFrom("127.0.0.3", "guess-3").startsWith("HTTP/1.1 429 ") &&
                signInFrom("127.0.0.5", "guess-4").startsWith("HTTP/1.1 429 ") &&
                signInFrom("127.0.0.4", "demo-password").contains("\nvalid:"));
        // Sign-ups tell whether an address is taken, and reports are stored: a few per client.
        const QByteArray taken =
            post("email=demo@lexorn.example&password=whatever", "/lexorn/signup.php");
        const QByteArray report = post("userid=1&src_lang=en&dest_lang=es&text=x");
        QByteArrayList statuses;
        for (const QByteArray &request : {taken, taken, taken, report, report})
            statuses << rawHttp(limited.port, request, "127.0.0.10").left(12);
        QCOMPARE(statuses.join(' '),
                 "HTTP/1.1 409 HTTP/1.1 409 HTTP/1.1 429 HTTP/1.1 200 HTTP/1.1 429");
        // One key derivation at a time per client: another one meanwhile is turned away.
        const auto first = sendFrom("127.0.0.6", get(signIn("nobody@lexorn.example", "guess-5")));
        QVERIFY(rawHttp(limited.port, get(signIn("no@lexorn.example", "guess-6")), "127.0.0.6")
                    .startsWith("HTTP/1.1 503 "));
        // A head that trickles in line by line has to end in time all the same.
        QTcpSocket slow;
        slow.connectToHost("127.0.0.1", limited.port);
        QByteArray answer;
        slow.write("GET / HTTP/1.1\r\n");
        for (int i = 0; i < 15 && answer.isEmpty(); ++i, answer += slow.readAll())
            slow.write("X: 1\r\n"), slow.waitForReadyRead(200);
        QVERIFY2(answer.startsWith("HTTP/1.1 408 "), answer.constData());
    }

    // Hashes stored by any version still match: PBKDF2-HMAC-SHA256 over the UTF-8 password.
    void storedHash()
    {
        const QByteArray stored =
            "pbkdf2-sha256$80000$TmFDbA==$GTOzhH+yh6ErDYu7CcShrCkw2rn1D59A8xDjOnn3QEA=";
        QVERIFY(verifyPassword("Pässwörd", stored) && !verifyPassword("Passwörd", stored));
    }

    void refusedConfiguration_data()
    {
        // added: to the demo configuration
        columns<QString, QString>({"added", "reason"});
        dataRow("beyond Latin-1", "[languages]\n3 = ja, 日本語", "ISO-8859-1");
        dataRow("index out of reach", "[languages]\n7 = de, Deutsch", "index 7");
        dataRow("same code twice", "[languages]\n1 = en, English\n2 = en, Englisch", "twice");
        dataRow("unlisted language", "[apertium]\nen -> fr = eng-fra", "en is not listed");
        dataRow("pairs neither listed nor installed", "[apertium]\npairs = all",
                "installed or listed");
        dataRow("marker text may hold", "[apertium]\nresult_end = &amp;", "result_end");
        dataRow("cap beyond 16 bits", "[accounts]\ncap = 40000", "cap");
        dataRow("misspelt key", "[service]\nprot = 80", "unknown key");
        dataRow("unknown section", "[extras]\na = b", "unknown section");
        dataRow("relative link", "[links]\nwelcome = welcome.php", "welcome");
    }

    void refusedConfiguration()
    {
        auto [added, reason] = fetch<QString, QString>("added", "reason");
        Service refusing(added);
        QVERIFY2(refusing.run({}) == 2 && refusing.output.contains(reason.toUtf8()) &&
                     !QFile::exists(refusing.dir.filePath("demo.sqlite")),
                 refusing.output.constData());
    }

    void passwordKeptNowhere() // last: it stops the services
    {
        service->stop();
        const QByteArray log = service->log();
        // One line per request, from the guard and from the server, without the query.
        QVERIFY2(!log.contains(Secret) && !log.contains("password=") &&
                     log.contains(" GET /lexorn/settings.php 414 ") &&
                     log.contains(" GET /lexorn/settings.php 200 "),
                 log.constData());
        // The SQLite database and the rest of its folder (grep: 1 when none found); a PostgreSQL
        // server keeps no hash there.
        QFETCH_GLOBAL(QString, database);
        QCOMPARE((QList<int>{
                     QProcess::execute("grep", {"-rqa", Secret, service->dir.path()}),
                     QProcess::execute("grep", {"-rqa", "pbkdf2-sha256\\$", service->dir.path()})}),
                 (QList<int>{1, database.startsWith("postgresql:") ? 1 : 0}));
    }
};

LEXORN_TEST_MAIN(TestService)
#include "tst_service.moc"
