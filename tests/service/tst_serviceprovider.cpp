#include "support/httpcall.h"
#include "support/servicebackend.h"
#include "translation/modtranslate.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <memory>

// Translations through the service: with Apertium itself, and with stand-ins for its engine.
namespace {

// Answers each NUL-ended text with the text itself, after a pause; notes each start in "starts".
const QByteArray Echo = "echo \"$3\" >>\"$(dirname \"$0\")/starts\"\n"
                        "exec bash -c 'while IFS= read -r -d \"\" t; do sleep 0.05; "
                        "printf \"%s\\0\" \"$t\"; done'";

// The demo configuration with a stand-in for apertium in `folder` that lists `modes` and
// translates by running `behaviour`.
QString withEngine(const QTemporaryDir &folder, const QByteArray &behaviour, int timeout = 20,
                   const QByteArray &modes = "eng-spa spa-eng")
{
    QFile script(folder.filePath("fake-apertium"));
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write("#!/bin/sh\nif [ \"$1\" = -l ]; then for m in " + modes +
                 "; do echo $m; done; exit 0; fi\n" + behaviour + '\n');
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString config = ServiceRunner::withLine(ServiceRunner::demoConfig(), "apertium",
                                                   "program = " + script.fileName());
    return ServiceRunner::withLine(config, "apertium", QStringLiteral("timeout = %1").arg(timeout));
}

// Filled in as the program fills the demo template: UTF-8, percent-encoded, a space as %20.
HttpResult translate(const ServiceRunner &service, const QString &pair, const QString &text)
{
    return httpGet(
        service.url("/lexorn/translate.php?" + pair + "&text=" + QUrl::toPercentEncoding(text)));
}

// The translation as the program cuts it out of the page.
QString result(const QByteArray &page)
{
    return modTranslate::Utf8Decode(
        modTranslate::TextBetween(page, "<div id=\"result\">", "</div>"));
}

} // namespace

class TestServiceProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void apertium_data();
    void apertium();
    void roundTrip_data();
    void roundTrip();
    void queuedRequestsGetTheirOwnAnswers();
    void freshEngineAfterAFault_data();
    void freshEngineAfterAFault();
    void slowTranslationHoldsUpNobody();
    void onlyInstalledModesAreOffered();

private:
    ServiceRunner apertiumService;
    QTemporaryDir folder;
    ServiceRunner echoService{withEngine(folder, Echo)};
};

void TestServiceProvider::initTestCase()
{
    START_SERVICE(apertiumService);
    START_SERVICE(echoService);
}

void TestServiceProvider::apertium_data()
{
    QTest::addColumn<QString>("pair");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected"); // in the translation; none for a failure
    const auto row = [](const char *name, const char *pair, const char *text, int status,
                        const char *expected) {
        QTest::newRow(name) << QString(pair) << QString(text) << status << QString(expected);
    };
    row("en to es", "src=en&dest=es", "The house is red.", 200, "casa");
    row("es to en", "src=es&dest=en", "La casa es roja.", 200, "house");
    row("paragraphs, brackets", "src=en&dest=es", "The house is red.\n\nThe dog [is] big.", 200,
        "perro [");
    row("accented input", "src=es&dest=en", "El niño come manzanas.", 200, "apples");
    row("pair not offered", "src=en&dest=de", "house", 404, "");
    row("same language", "src=es&dest=es", "casa", 404, "");
    row("no languages", "", "house", 404, "");
    row("codes in capitals", "src=EN&dest=ES", "house", 404, "");
}

void TestServiceProvider::apertium()
{
    QFETCH(QString, pair);
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(QString, expected);
    const HttpResult answer = translate(apertiumService, pair, text);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.contentType, QByteArray("text/html; charset=utf-8"));
    QCOMPARE(answer.body.contains("ERROR: Translation failed"), expected.isEmpty());
    const QString translation = result(answer.body);
    QVERIFY2(expected.isEmpty() ? translation.isEmpty() : translation.contains(expected),
             answer.body.constData());
}

void TestServiceProvider::roundTrip_data()
{
    // What the text holds of Apertium's stream format or of HTML must come back as it was.
    QTest::addColumn<QString>("text");
    QTest::newRow("stream's own characters") << "a [b] ^c$ <d> @e \\f /g {h} ~i *j #k";
    QTest::newRow("markup") << "1 < 2 & \"3\" </div> &amp;";
    QTest::newRow("blank line") << "First one.\n\nSecond one";
    QTest::newRow("spaces and tabs") << "  two   spaces\tand a tab  ";
    QTest::newRow("full stops") << "End. Of.. It...";
    QTest::newRow("beyond ASCII") << "niño € \U0001F600";
}

void TestServiceProvider::roundTrip()
{
    QFETCH(QString, text);
    const HttpResult answer = translate(echoService, "src=en&dest=es", text);
    QCOMPARE(answer.status, 200);
    QCOMPARE(result(answer.body), text.toHtmlEscaped().replace('\n', "<br>"));
}

void TestServiceProvider::queuedRequestsGetTheirOwnAnswers()
{
    QNetworkAccessManager manager;
    QList<QNetworkReply *> replies;
    for (int i = 0; i < 6; ++i)
        replies.append(manager.get(QNetworkRequest(echoService.url(
            QStringLiteral("/lexorn/translate.php?src=en&dest=es&text=t%1").arg(i)))));
    for (int i = 0; i < 6; ++i) {
        QTRY_VERIFY_WITH_TIMEOUT(replies.at(i)->isFinished(), 20000);
        QCOMPARE(result(replies.at(i)->readAll()), QStringLiteral("t%1").arg(i));
        delete replies.at(i);
    }
    // All of them, and the round trips before, went to the one engine of each mode.
    QFile starts(folder.filePath("starts"));
    QVERIFY(starts.open(QIODevice::ReadOnly));
    QCOMPARE(starts.readAll().count("eng-spa"), 1);
}

void TestServiceProvider::freshEngineAfterAFault_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("status");
    QTest::newRow("ends") << QByteArray("head -c 1 >/dev/null; exit 3") << 20 << 502;
    QTest::newRow("hangs") << QByteArray("exec sleep 60") << 1 << 504;
    QTest::newRow("answers without end")
        << QByteArray("head -c 1 >/dev/null; head -c 5000000 /dev/zero | tr '\\0' a; sleep 60")
        << 20 << 502;
}

// The first engine of each mode has the fault; the one started after it works.
void TestServiceProvider::freshEngineAfterAFault()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, timeout);
    QFETCH(int, status);
    QTemporaryDir faulty;
    const QByteArray mark = faulty.filePath("faulted-").toUtf8();
    ServiceRunner service(withEngine(
        faulty, "if mkdir '" + mark + "'\"$3\" 2>/dev/null; then " + fault + "; fi\n" + Echo,
        timeout));
    START_SERVICE(service);
    const HttpResult failed = translate(service, "src=en&dest=es", "house");
    QCOMPARE(failed.status, status);
    QVERIFY(failed.body.contains("ERROR: Translation failed"));
    QCOMPARE(result(translate(service, "src=en&dest=es", "dog").body), QStringLiteral("dog"));
}

void TestServiceProvider::slowTranslationHoldsUpNobody()
{
    QTemporaryDir slowFolder;
    ServiceRunner service(withEngine(slowFolder, "exec sleep 60", 8));
    START_SERVICE(service);
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> slow(manager.get(QNetworkRequest(
        service.url(QStringLiteral("/lexorn/translate.php?src=en&dest=es&text=house")))));
    // Sign-in and pages are answered while the translation waits.
    QVERIFY(service.settingsAnswer("demo@lexorn.example", "demo-password").startsWith("valid:"));
    QCOMPARE(httpGet(service.url("/lexorn/welcome.php")).status, 200);
    QVERIFY(!slow->isFinished());
    QTRY_VERIFY_WITH_TIMEOUT(slow->isFinished(), 20000);
    QCOMPARE(slow->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 504);
}

void TestServiceProvider::onlyInstalledModesAreOffered()
{
    QTemporaryDir oneMode;
    ServiceRunner service(withEngine(oneMode, Echo, 20, "eng-spa"));
    START_SERVICE(service);
    const QByteArray settings = service.settingsAnswer("demo@lexorn.example", "demo-password");
    QVERIFY(settings.contains("\teng-spa\t") && !settings.contains("\tspa-eng\t"));
    QCOMPARE(translate(service, "src=es&dest=en", "casa").status, 404);
    QVERIFY(service.log().contains("spa-eng is not installed"));
}

QTEST_GUILESS_MAIN(TestServiceProvider)
#include "tst_serviceprovider.moc"
