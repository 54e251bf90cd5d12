#include "support/service.h"
#include "support/testmain.h"

#include <memory>
#include <vector>

// The pages and translations of the real lexorn-service: with Apertium, and with a stand-in for
// its engines that echoes, fails or hangs on demand.
class tst_Endpoints : public QObject
{
    Q_OBJECT

    static inline const QByteArray Failed = "ERROR: Translation failed";
    Service service{""};
    QTemporaryDir folder;
    Service echo{withEcho(folder)};

private Q_SLOTS:
    void initTestCase() { QVERIFY(service.start() && echo.start()); }

    // One engine for its one mode, kept until it fails.
    void engine()
    {
        const QByteArray settings = echo.settings("demo@lexorn.example", "demo-password");
        QFile starts(folder.filePath("starts")); // made by the engine started with the service
        QVERIFY(settings.contains("\teng-spa\t") && !settings.contains("\tspa-eng\t") &&
                starts.open(QIODevice::ReadOnly) && starts.readAll().endsWith("eng-spa\n"));
        std::vector<std::unique_ptr<QTcpSocket>> replies; // waiting their turn
        for (const char *text : {"t0", "t1", "t2", "t3", "t4", "t5", "fault-hang"})
            replies.push_back(sendRaw(echo.port, translate(text)));
        for (int i = 0; i < 6; ++i)
            QTRY_VERIFY(replies.at(i)->peek(4096).contains(">t" + QByteArray::number(i) + "</"));
        QCOMPARE(starts.readAll(), ""); // all went to that engine
        // A hanging engine holds up no sign-in, and is ended after the time-out.
        QVERIFY(echo.settings("demo@lexorn.example", "demo-password").contains("\nvalid:") &&
                !replies.back()->bytesAvailable());
        QTRY_VERIFY_WITH_TIMEOUT(replies.back()->peek(4096).contains(Failed), 20000);
        QVERIFY(replies.back()->readAll().startsWith("HTTP/1.1 504 "));
        QVERIFY(rawHttp(echo.port, translate("dog")).contains(">dog</")); // from a fresh engine
        // A bad request after one still being translated is refused after that one's answer.
        const auto socket = sendRaw(echo.port, translate("slow-3"));
        QTest::qWait(500);
        socket->write("BREW / HTTP/1.1\r\nHost: a\r\n\r\n");
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += socket->readAll()).contains("HTTP/1.1 501 "), 10000);
        QVERIFY2(got.startsWith("HTTP/1.1 200 ") && got.contains(">slow-3</"), got.constData());
    }

    void answers_data()
    {
        columns<QByteArray, int, QByteArray>({"request", "status", "shows"});
        row("found", get("/lexorn/findtran.php?src_lang=en&trg_lang=es"), 200, "Tomás Ibarra");
        row("none", get("/lexorn/findtran.php?src_lang=es&trg_lang=es"), 200, "No translators");
        // The program's views may post to the pages they show.
        row("empty post to a page", post("", "/lexorn/translating.php"), 200);
        row("en to es", translate("The house is red."), 200, "casa");
        row("paragraphs", translate("The house.\n\nThe dog [is] big."), 200, "perro [");
        row("pair not offered", translate("house", "src=en&dest=de"), 404, Failed);
    }

    void answers() { checkAnswer(service.port); }

    void standIn_data()
    {
        columns<QByteArray, int, QByteArray>({"request", "status", "shows"});
        row("mode not installed", translate("casa", "src=es&dest=en"), 404, Failed);
        // What the text holds of Apertium's stream format or of HTML comes back as it was. A
        // failed engine is ended: the row after it needs a fresh one.
        const auto echoed = [](const char *name, const QString &text) {
            const QString html = text.toHtmlEscaped().replace('\n', "<br>");
            row(name, translate(text), 200, "\"result\">" + html.toUtf8() + "</div>");
        };
        row("engine ends", translate("fault-end"), 502, Failed);
        row("through a pivot", translate("a [b]", "src=en&dest=ca"), 200, ">a [b]</");
        row("second step fails", translate("fault-catalan", "src=en&dest=ca"), 502, Failed);
        row("banner names the pivot", post("userid=1&src_lang=en&dest_lang=ca&text=a"), 200,
            "English to Català by Apertium, through Español.");
        echoed("stream's own characters", "a [b] ^c$ <d> @e \\f /g {h} ~i *j #k");
        echoed("markup", "1 < 2 & \"3\" </div> &amp;");
        row("engine answers without end", translate("fault-flood"), 502, Failed);
        row("nothing for a text", translate("fault-empty"), 502, Failed);
        echoed("blank line", "First one.\n\nSecond one");
        echoed("spacing and full stops", "  two   spaces\tand a tab.  Of.. It...  ");
        echoed("beyond ASCII", "niño € \U0001F600");
        // The demo accounts' cap is the default limit.
        echoed("as long as the cap", QString(500, 'a'));
        row("longer than the cap", translate(QString(501, 'a')), 413, Failed);
    }

    void standIn() { checkAnswer(echo.port); }

    // A mode whose engine fails at start twice in a row is offered no more, and the request that
    // found it says so; the first failure took a client's text, the second the pool's own.
    void takenOut()
    {
        const auto offered = [this] {
            return echo.settings("demo@lexorn.example", "demo-password").contains("\tfra-ita\t");
        };
        QVERIFY(offered());
        QByteArrayList answers;
        for (const char *text : {"un", "deux", "trois"})
            answers << rawHttp(echo.port, translate(text, "src=fr&dest=it"));
        const QByteArray gone = "no longer offered until the service restarts";
        QVERIFY2(answers[0].startsWith("HTTP/1.1 502 ") && !answers[0].contains(gone) &&
                     answers[1].contains(gone) && answers[2].contains(gone),
                 answers.join('\n').constData());
        QFile starts(folder.filePath("starts"));
        QVERIFY(!offered() && starts.open(QIODevice::ReadOnly) &&
                starts.readAll().count("fra-ita\n") == 2);
        QTRY_VERIFY(echo.log().contains("engine fra-ita failed at start 2 times in a row"));
    }

    // A client beyond its share of the queue is turned away. A text that reaches the engine late
    // in its deadline is answered 504 then, and the engine, sound, is kept.
    void queue()
    {
        QTemporaryDir engine;
        Service limited(withEcho(engine) + "queue_per_client = 1\n");
        QVERIFY(limited.start());
        const auto early = sendRaw(limited.port, translate("slow-1"), "127.0.0.7");
        const auto late = sendRaw(limited.port, translate("slow-2"), "127.0.0.8");
        QVERIFY(rawHttp(limited.port, translate("x"), "127.0.0.7").startsWith("HTTP/1.1 503 "));
        QTRY_VERIFY_WITH_TIMEOUT(late->bytesAvailable(), 10000);
        QFile starts(engine.filePath("starts"));
        QVERIFY(late->readAll().startsWith("HTTP/1.1 504 ") &&
                rawHttp(limited.port, translate("z"), "127.0.0.9").contains(">z</") &&
                starts.open(QIODevice::ReadOnly) && starts.readAll().count('\n') == 1);
    }
};

LEXORN_TEST_MAIN(tst_Endpoints)
#include "tst_endpoints.moc"
