#include "support/httpcall.h"
#include "support/servicerunner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ProviderLine
{
    QByteArray start;
    QByteArray end;
    QByteArray urlTemplate;
};

// The provider of a pair, read from the settings answer as the program reads it.
ProviderLine providerFor(const ServiceRunner &service, const QByteArray &source,
                         const QByteArray &target)
{
    const QByteArray answer =
        httpGet(service.url(
                    QStringLiteral("/lexorn/settings.php?version=1.0.1&username=demo@lexorn.example"
                                   "&password=demo-password")))
            .body;
    QHash<QByteArray, QByteArray> codes; // index -> code
    QList<QList<QByteArray>> providers;
    for (const QByteArray &line : answer.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.first() == "language:" && fields.size() >= 3)
            codes.insert(fields.at(1), fields.at(2));
        else if (fields.first() == "translation_url:" && fields.size() >= 7)
            providers.append(fields);
    }
    for (const QList<QByteArray> &fields : providers) {
        if (codes.value(fields.at(2)) == source && codes.value(fields.at(3)) == target)
            return {fields.at(4), fields.at(5), fields.at(6)};
    }
    return {};
}

// The request address as the program fills it: UTF-8, percent-encoded, a space as %20.
QUrl filled(const QByteArray &urlTemplate, const QByteArray &source, const QByteArray &target,
            const QString &text)
{
    QByteArray address = urlTemplate;
    address.replace("%src_lang%", source);
    address.replace("%dest_lang%", target);
    address.replace("%text_encode%", QUrl::toPercentEncoding(text));
    return QUrl::fromEncoded(address);
}

QByteArray between(const QByteArray &page, const QByteArray &start, const QByteArray &end)
{
    const qsizetype from = page.indexOf(start);
    if (from < 0)
        return {};
    const qsizetype to = page.indexOf(end, from + start.size());
    return to < 0 ? QByteArray() : page.mid(from + start.size(), to - from - start.size());
}

// A stand-in for apertium: lists the installed modes, and for a translation runs `behaviour`.
QString fakeEngine(const QTemporaryDir &folder, const QByteArray &behaviour,
                   const QByteArray &modes = "eng-spa spa-eng")
{
    const QString path = folder.filePath(QStringLiteral("fake-apertium"));
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\nif [ \"$1\" = -l ]; then for m in " + modes +
                 "; do echo $m; done; exit 0; fi\n" + behaviour + '\n');
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The translation as the program sees it, with the page's escaping and line breaks undone.
QString translationOf(const HttpResult &result, const ProviderLine &provider)
{
    QString text = QString::fromUtf8(between(result.body, provider.start, provider.end));
    text.replace(QStringLiteral("<br>"), QStringLiteral("\n"));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// A stand-in engine that answers each NUL-ended text with the text itself, after a pause.
const QByteArray EchoEngine = "exec bash -c 'while IFS= read -r -d \"\" t; do sleep 0.05; "
                              "printf \"%s\\0\" \"$t\"; done'";

QString configWithEngine(const QString &program, int timeoutSeconds)
{
    QString config = ServiceRunner::demoConfig();
    config = ServiceRunner::withLine(config, QStringLiteral("apertium"),
                                     QStringLiteral("program = ") + program);
    return ServiceRunner::withLine(config, QStringLiteral("apertium"),
                                   QStringLiteral("timeout = %1").arg(timeoutSeconds));
}

} // namespace

class TestServiceProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void translatesWithApertium_data();
    void translatesWithApertium();
    void failures_data();
    void failures();
    void translationIsEscapedWithLineBreaks();
    void failingEngine_data();
    void failingEngine();
    void slowTranslationHoldsUpNobody();
    void onlyInstalledModesAreOffered();
    void textSurvivesTheEngineStream_data();
    void textSurvivesTheEngineStream();
    void engineStaysRunning();
    void engineIsStartedAfreshAfterAFault_data();
    void engineIsStartedAfreshAfterAFault();
    void queuedRequestsGetTheirOwnAnswers();
};

void TestServiceProvider::translatesWithApertium_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("en to es") << QByteArray("en") << QByteArray("es")
                              << QStringLiteral("The house is red.") << QStringLiteral("casa");
    QTest::newRow("es to en") << QByteArray("es") << QByteArray("en")
                              << QStringLiteral("La casa es roja.") << QStringLiteral("house");
    QTest::newRow("two paragraphs and brackets")
        << QByteArray("en") << QByteArray("es")
        << QStringLiteral("The house is red.\n\nThe dog [is] big.") << QStringLiteral("perro [");
    QTest::newRow("accented input")
        << QByteArray("es") << QByteArray("en") << QStringLiteral("El niño come manzanas.")
        << QStringLiteral("apples");
}

void TestServiceProvider::translatesWithApertium()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, target);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ServiceRunner service;
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, source, target);
    QVERIFY(!provider.urlTemplate.isEmpty());

    const HttpResult result = httpGet(filled(provider.urlTemplate, source, target, text));
    QCOMPARE(result.status, 200);
    QCOMPARE(result.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY(!result.body.contains("ERROR: Translation failed"));
    const QString translation =
        QString::fromUtf8(between(result.body, provider.start, provider.end));
    QVERIFY2(translation.contains(expected), qPrintable(translation));
}

void TestServiceProvider::failures_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::newRow("pair not offered") << QStringLiteral("src=en&dest=de&text=house") << 404;
    QTest::newRow("pair reversed wrongly") << QStringLiteral("src=es&dest=es&text=casa") << 404;
    QTest::newRow("no languages") << QStringLiteral("text=house") << 404;
    QTest::newRow("codes are case-sensitive") << QStringLiteral("src=EN&dest=ES&text=house") << 404;
}

void TestServiceProvider::failures()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    ServiceRunner service;
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const HttpResult result =
        httpGet(service.url(QStringLiteral("/lexorn/translate.php?") + query));
    QCOMPARE(result.status, status);
    QVERIFY(result.body.contains("ERROR: Translation failed"));
    QVERIFY(!result.body.contains("<div id=\"result\">"));
}

void TestServiceProvider::translationIsEscapedWithLineBreaks()
{
    QTemporaryDir folder;
    ServiceRunner service(configWithEngine(fakeEngine(folder, "cat"), 20));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");
    const HttpResult result = httpGet(
        filled(provider.urlTemplate, "en", "es", QStringLiteral("1 < 2 & \"3\" </div>\nnext ñ")));
    QCOMPARE(result.status, 200);
    QCOMPARE(between(result.body, provider.start, provider.end),
             QByteArray("1 &lt; 2 &amp; &quot;3&quot; &lt;/div&gt;<br>next \xc3\xb1"));
}

void TestServiceProvider::failingEngine_data()
{
    QTest::addColumn<QByteArray>("behaviour");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("status");
    QTest::newRow("exits with an error") << QByteArray("head -c 1 >/dev/null; exit 3") << 20 << 502;
    QTest::newRow("never answers") << QByteArray("exec sleep 60") << 1 << 504;
    QTest::newRow("killed") << QByteArray("kill -9 $$") << 20 << 502;
}

void TestServiceProvider::failingEngine()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(int, timeout);
    QFETCH(int, status);
    QTemporaryDir folder;
    ServiceRunner service(configWithEngine(fakeEngine(folder, behaviour), timeout));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");
    const HttpResult result =
        httpGet(filled(provider.urlTemplate, "en", "es", QStringLiteral("house")));
    QCOMPARE(result.status, status);
    QVERIFY(result.body.contains("ERROR: Translation failed"));
    // The service carries on.
    QCOMPARE(httpGet(service.url(QStringLiteral("/lexorn/welcome.php"))).status, 200);
}

void TestServiceProvider::slowTranslationHoldsUpNobody()
{
    QTemporaryDir folder;
    const QString started = folder.filePath(QStringLiteral("started"));
    ServiceRunner service(
        configWithEngine(fakeEngine(folder, "touch '" + started.toUtf8() + "'; exec sleep 60"), 8));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");

    QNetworkAccessManager manager;
    QNetworkReply *slow = manager.get(
        QNetworkRequest(filled(provider.urlTemplate, "en", "es", QStringLiteral("house"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 10000);
    // Sign-in, pages and a second translation are answered while the first one still runs.
    QVERIFY(httpGet(service.url(QStringLiteral(
                        "/lexorn/settings.php?version=1.0.1&username=demo@lexorn.example"
                        "&password=demo-password")))
                .body.startsWith("valid:"));
    QCOMPARE(httpGet(service.url(QStringLiteral("/lexorn/welcome.php"))).status, 200);
    QVERIFY(!slow->isFinished());

    QEventLoop loop;
    connect(slow, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!slow->isFinished())
        loop.exec();
    QCOMPARE(slow->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 504);
    QVERIFY(slow->readAll().contains("ERROR: Translation failed"));
    delete slow;
}

void TestServiceProvider::onlyInstalledModesAreOffered()
{
    QTemporaryDir folder;
    ServiceRunner service(configWithEngine(fakeEngine(folder, "cat", "eng-spa"), 20));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    QVERIFY(!providerFor(service, "en", "es").urlTemplate.isEmpty());
    QVERIFY(providerFor(service, "es", "en").urlTemplate.isEmpty());
    const HttpResult result =
        httpGet(service.url(QStringLiteral("/lexorn/translate.php?src=es&dest=en&text=casa")));
    QVERIFY(result.body.contains("ERROR: Translation failed"));
    QVERIFY(service.log().contains("spa-eng is not installed"));
}

void TestServiceProvider::textSurvivesTheEngineStream_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("stream's own characters")
        << QStringLiteral("a [b] ^c$ <d> @e \\f /g {h} ~i *j #k");
    QTest::newRow("blank line") << QStringLiteral("First one.\n\nSecond one");
    QTest::newRow("spaces and tabs") << QStringLiteral("  two   spaces\tand a tab  ");
    QTest::newRow("full stops") << QStringLiteral("End. Of.. It...");
    QTest::newRow("beyond ASCII") << QStringLiteral("ni\u00f1o \u20ac \U0001F600");
}

// The engine reads Apertium's stream format: what the text holds of that format must come back.
void TestServiceProvider::textSurvivesTheEngineStream()
{
    QFETCH(QString, text);
    QTemporaryDir folder;
    ServiceRunner service(configWithEngine(fakeEngine(folder, "exec cat"), 20));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");
    const HttpResult result = httpGet(filled(provider.urlTemplate, "en", "es", text));
    QCOMPARE(result.status, 200);
    QCOMPARE(translationOf(result, provider), text);
}

void TestServiceProvider::engineStaysRunning()
{
    QTemporaryDir folder;
    const QString starts = folder.filePath(QStringLiteral("starts"));
    ServiceRunner service(configWithEngine(
        fakeEngine(folder, "echo \"$3\" >>'" + starts.toUtf8() + "'\n" + EchoEngine), 20));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");
    for (const QString &text :
         {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}) {
        const HttpResult result = httpGet(filled(provider.urlTemplate, "en", "es", text));
        QCOMPARE(result.status, 200);
        QCOMPARE(translationOf(result, provider), text);
    }
    QFile log(starts);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("eng-spa"), 1);
}

void TestServiceProvider::engineIsStartedAfreshAfterAFault_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("status");
    QTest::newRow("ends") << QByteArray("head -c 1 >/dev/null; exit 3") << 20 << 502;
    QTest::newRow("hangs") << QByteArray("exec sleep 60") << 1 << 504;
    QTest::newRow("answers without end")
        << QByteArray("head -c 1 >/dev/null; head -c 5000000 /dev/zero | tr '\\0' a; exec sleep 60")
        << 20 << 502;
}

// The first engine of each mode has the fault; the one started after it works.
void TestServiceProvider::engineIsStartedAfreshAfterAFault()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, timeout);
    QFETCH(int, status);
    QTemporaryDir folder;
    const QByteArray mark = folder.filePath(QStringLiteral("faulted-")).toUtf8();
    ServiceRunner service(
        configWithEngine(fakeEngine(folder, "if mkdir '" + mark + "'\"$3\" 2>/dev/null; then " +
                                                fault + "; fi\n" + EchoEngine),
                         timeout));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");
    QCOMPARE(httpGet(filled(provider.urlTemplate, "en", "es", QStringLiteral("house"))).status,
             status);
    const HttpResult again =
        httpGet(filled(provider.urlTemplate, "en", "es", QStringLiteral("dog")));
    QCOMPARE(again.status, 200);
    QCOMPARE(translationOf(again, provider), QStringLiteral("dog"));
}

void TestServiceProvider::queuedRequestsGetTheirOwnAnswers()
{
    QTemporaryDir folder;
    ServiceRunner service(configWithEngine(fakeEngine(folder, EchoEngine), 20));
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    const ProviderLine provider = providerFor(service, "en", "es");

    QNetworkAccessManager manager;
    QList<QNetworkReply *> replies;
    for (int i = 0; i < 6; ++i)
        replies.append(manager.get(QNetworkRequest(
            filled(provider.urlTemplate, "en", "es", QStringLiteral("text number %1").arg(i)))));
    for (int i = 0; i < 6; ++i) {
        QNetworkReply *reply = replies.at(i);
        if (!reply->isFinished()) {
            QEventLoop loop;
            connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        const HttpResult result{200, reply->readAll(), {}};
        QCOMPARE(translationOf(result, provider), QStringLiteral("text number %1").arg(i));
        delete reply;
    }
}

QTEST_GUILESS_MAIN(TestServiceProvider)
#include "tst_serviceprovider.moc"
