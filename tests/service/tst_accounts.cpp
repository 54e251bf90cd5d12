#include "accounts/passwords.h"
#include "support/service.h"
#include "support/testmain.h"

#include <QSqlQuery>
#include <QUuid>

#include <map>
#include <memory>

// Accounts and banner reports of the real lexorn-service, on SQLite and on the PostgreSQL server
// LEXORN_TEST_PG names (scripts/pg-cluster start DIR PORT makes one): signed up, signed in,
// administered from the command line, guarded against guessing, and kept through an outage.
class tst_Accounts : public QObject
{
    Q_OBJECT

    // A PostgreSQL database outlives the test, so each run makes addresses of its own.
    static inline const QString Run =
        '.' + QUuid::createUuid().toString(QUuid::Id128) + "@example.org";
    // Leaving signs in once and is disabled; Newcomer signs up through the form.
    static inline const QString Leaving = "leaving" + Run, Newcomer = "New" + Run;
    static inline const QByteArray ReportId = QUuid::createUuid().toByteArray(QUuid::Id128);
    std::map<QString, std::unique_ptr<Service>> services; // one per database, kept
    Service *service = nullptr;
    QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE");

private Q_SLOTS:
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

    void answers_data()
    {
        columns<QByteArray, int, QByteArray>({"request", "status", "shows"});
        // The guard's limit of a query, where the password travels.
        const QByteArray leaving = Leaving.toUtf8(), password = Secret + "-leaving";
        row("query of 64 KiB", get(signIn(leaving, password, 64 * 1024)), 200,
            "\nerror:\tfatal\tThis account has been disabled.\n");
        row("query one byte longer", get(signIn(leaving, password, 64 * 1024 + 1)), 414);
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
    }

    void answers() { checkAnswer(service->port); }

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
        Service limited("[accounts]\nfailures_before_delay = 2\npassword_queue_per_client = 1\n"
                        "password_iterations = 1000000\nreports_per_client = 1");
        QVERIFY(limited.start());
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
        QStringList got; // each answer's status and how long it asks the client to wait
        const auto ask = [&](const QByteArray &request, const QString &from) {
            const QString answer = QString::fromLatin1(rawHttp(limited.port, request, from));
            got << (QStringList{answer.mid(9, 3)} + answer.split("\r\n").filter("Retry-After:"))
                       .join(' ');
        };
        const QByteArray taken =
            post("email=demo@lexorn.example&password=whatever", "/lexorn/signup.php");
        const QByteArray report = post("userid=1&src_lang=en&dest_lang=es&text=x");
        for (const QByteArray &request : {taken, taken, taken, report, report})
            ask(request, "127.0.0.10");
        // One key derivation at a time per client: another one meanwhile is turned away.
        const auto held = sendRaw(limited.port, get(signIn("no@x.example", "guess")), "127.0.0.6");
        ask(get(signIn("no@lexorn.example", "guess-6")), "127.0.0.6");
        ask(post("email=new@lexorn.example&password=whatever", "/lexorn/signup.php"), "127.0.0.6");
        QCOMPARE(got.join(", "), "409, 409, 429 Retry-After: 1, 200, 429 Retry-After: 1, "
                                 "503 Retry-After: 1, 503 Retry-After: 1");
    }

    void reportQueue_data()
    {
        columns<QString>({"then"});
        dataRow("written once free", QString("free"));
        dataRow("written on SIGTERM", QString("stop"));
        dataRow("counted on SIGTERM", QString("lost"));
    }

    // Reports wait in order, as many as report_queue, while the database cannot take them (here
    // an SQLite file that another writer holds; tests/service/faults.py stops a PostgreSQL server
    // instead), until it takes them again, at the latest on SIGTERM; then those it still cannot
    // take are counted in the log.
    void reportQueue()
    {
        QFETCH_GLOBAL(QString, database);
        if (database.startsWith("postgresql:"))
            QSKIP("the outage here is an SQLite file held");
        auto [then] = fetch<QString>("then");
        QTemporaryDir engine;
        Service queued(withEcho(engine) + "[accounts]\nreport_queue = 3\n");
        writer.setDatabaseName(queued.dir.filePath("demo.sqlite"));
        QVERIFY(queued.start() && writer.open() && QSqlQuery(writer).exec("BEGIN EXCLUSIVE"));
        const auto reports = [&] { // their texts, a line each, in their order
            queued.run({"--list-reports"});
            return QString(queued.output).remove(QRegularExpression("(?m)^.*\t"));
        };
        QByteArray got, form = "userid=1&src_lang=en&dest_lang=es&text=r";
        for (const char n : {'1', '2', '3', '4'})
            got += rawHttp(queued.port, post(form + n)).left(13);
        QCOMPARE(got, "HTTP/1.1 200 HTTP/1.1 200 HTTP/1.1 200 HTTP/1.1 503 ");
        QSqlQuery(writer).exec(then == "lost" ? "SELECT 1" : "COMMIT"); // let go, or hold on
        if (then == "free")
            QTRY_COMPARE_WITH_TIMEOUT(reports(), "r1\nr2\nr3\n", 10000);
        // Under way when SIGTERM comes, and answered all the same.
        const auto held = sendRaw(queued.port, translate("slow"));
        QTest::qWait(500);
        queued.process.terminate();
        QVERIFY(held->waitForReadyRead(10000) && held->readAll().startsWith("HTTP/1.1 200 ") &&
                queued.process.waitForFinished(10000) && queued.process.exitCode() == 0);
        QSqlQuery(writer).exec("COMMIT");
        QCOMPARE(reports(), then == "lost" ? "" : "r1\nr2\nr3\n");
        QVERIFY(queued.log().contains("database is locked") && // the first line says why
                queued.written.contains(then == "lost"
                                            ? "3 reports kept in memory are lost"
                                            : "the 3 reports kept in memory are written"));
    }

    // While the database cannot be read (here its accounts table is away), credentials that signed
    // in lately still do; any others are told the service is away, never that the password is
    // wrong.
    void outage()
    {
        QFETCH_GLOBAL(QString, database);
        if (database.startsWith("postgresql:"))
            QSKIP("the outage here is an SQLite table renamed");
        Service away("[accounts]\npassword_iterations = 1000");
        writer.setDatabaseName(away.dir.filePath("demo.sqlite"));
        QVERIFY(away.start() &&
                away.settings("demo@lexorn.example", "demo-password").contains("\nvalid:") &&
                writer.open() && QSqlQuery(writer).exec("ALTER TABLE accounts RENAME TO away"));
        const QByteArray fatal = "\r\n\r\nerror:\tfatal\tThe service is not available just now.";
        for (const char *user : {"demo@lexorn.example", "nobody@lexorn.example"}) {
            const QByteArray answer = away.settings(user, "demo-passwort");
            QVERIFY2(answer.startsWith("HTTP/1.1 503 ") && answer.contains(fatal),
                     answer.constData());
        }
        QVERIFY(away.settings("demo@lexorn.example", "demo-password").contains("\nvalid:"));
        writer.close();
    }

    // A sign-in is remembered for its lifetime, not for ever: it is what signs a client in while
    // the database is away.
    void rememberedForAWhile()
    {
        CredentialCache cache(1);
        const QByteArray key = cache.key("demo@lexorn.example", "demo-password");
        cache.insert(key, Account());
        const bool remembered = cache.find(key).has_value();
        QTest::qWait(1100);
        QVERIFY(remembered && !cache.find(key));
    }

    // Hashes stored by any version still match: PBKDF2-HMAC-SHA256 over the UTF-8 password.
    void storedHash()
    {
        const QByteArray stored =
            "pbkdf2-sha256$80000$TmFDbA==$GTOzhH+yh6ErDYu7CcShrCkw2rn1D59A8xDjOnn3QEA=";
        QVERIFY(verifyPassword("Pässwörd", stored) && !verifyPassword("Passwörd", stored));
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

LEXORN_TEST_MAIN(tst_Accounts)
#include "tst_accounts.moc"
