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

// The demo configuration with a stand-in for apertium in `folder`: it offers one mode, and
// translates by running `behaviour`.
QString withEngine(const QTemporaryDir &folder, const QByteArray &behaviour)
{
    QFile script(folder.filePath("fake-apertium"));
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n[ \"$1\" = -l ] && echo eng-spa && exit\n" + behaviour + '\n');
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return ServiceRunner::withLine(ServiceRunner::demoConfig(), "apertium",
                                   "program = " + script.fileName() + "\ntimeout = 5");
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
    void oneEngineForItsOneMode();
    void freshEngineAfterAFault_data();
    void freshEngineAfterAFault();

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
    QTest::addColumn<QString>("expected"); // in the translation; none for a pair not offered
    const auto row = [](const char *name, const char *pair, const char *text,
                        const char *expected) {
        QTest::newRow(name) << QString(pair) << QString(text) << QString(expected);
    };
    row("en to es", "src=en&dest=es", "The house is red.", "casa");
    row("paragraphs, brackets", "src=en&dest=es", "The house is red.\n\nThe dog [is] big.",
        "perro [");
    row("accented input", "src=es&dest=en", "El niño come manzanas.", "apples");
    row("pair not offered", "src=en&dest=de", "house", "");
}

void TestServiceProvider::apertium()
{
    QFETCH(QString, pair);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const HttpResult answer = translate(apertiumService, pair, text);
    QCOMPARE(answer.status, expected.isEmpty() ? 404 : 200);
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
    QCOMPARE(result(translate(echoService, "src=en&dest=es", text).body),
             text.toHtmlEscaped().replace('\n', "<br>"));
}

void TestServiceProvider::oneEngineForItsOneMode()
{
    const QByteArray settings = echoService.settingsAnswer("demo@lexorn.example", "demo-password");
    QVERIFY(settings.contains("\teng-spa\t") && !settings.contains("\tspa-eng\t"));
    QCOMPARE(translate(echoService, "src=es&dest=en", "casa").status, 404);
    QVERIFY(echoService.log().contains("spa-eng is not installed"));
    // Requests queued for the engine get their own answers.
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
    // They, and the round trips before, all went to the one engine, started once.
    QFile starts(folder.filePath("starts"));
    QVERIFY(starts.open(QIODevice::ReadOnly));
    QCOMPARE(starts.readAll(), QByteArray("eng-spa\n"));
}

void TestServiceProvider::freshEngineAfterAFault_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("status");
    QTest::newRow("ends") << QByteArray("head -c 1 >/dev/null; exit 3") << 502;
    QTest::newRow("hangs") << QByteArray("exec sleep 60") << 504;
    QTest::newRow("answers without end")
        << QByteArray("head -c 1 >/dev/null; head -c 5000000 /dev/zero | tr '\\0' a; sleep 60")
        << 502;
}

// The first engine has the fault; the one started after it works.
void TestServiceProvider::freshEngineAfterAFault()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, status);
    QTemporaryDir faulty;
    ServiceRunner service(withEngine(faulty, "if mkdir '" + faulty.filePath("once").toUtf8() +
                                                 "' 2>/dev/null; then " + fault + "; fi\n" + Echo));
    START_SERVICE(service);
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> failing(manager.get(QNetworkRequest(
        service.url(QStringLiteral("/lexorn/translate.php?src=en&dest=es&text=house")))));
    // A hanging engine holds up no sign-in.
    QVERIFY(service.settingsAnswer("demo@lexorn.example", "demo-password").startsWith("valid:"));
    QVERIFY(status != 504 || !failing->isFinished());
    QTRY_VERIFY_WITH_TIMEOUT(failing->isFinished(), 20000);
    QCOMPARE(failing->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QVERIFY(failing->readAll().contains("ERROR: Translation failed"));
    QCOMPARE(result(translate(service, "src=en&dest=es", "dog").body), QStringLiteral("dog"));
}

QTEST_GUILESS_MAIN(TestServiceProvider)
#include "tst_serviceprovider.moc"
