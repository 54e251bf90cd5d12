#include "platform/network.h"
#include "platform/webbrowser.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QTextDocument>

using platform::WebBrowser;
using Answer = LoopbackServer::Answer;
using Request = LoopbackServer::Request;

namespace {

// A view, its server, and what it reported as the program's handlers would see it.
struct View
{
    View()
    {
        QObject::connect(
            &browser, &WebBrowser::NavigateError, &browser,
            [this](QObject *, const QString &url, const QString &, int status, bool &) {
                errors.append({url, status});
            });
        QObject::connect(&browser, &WebBrowser::DocumentComplete, &browser,
                         [this](const QString &url) { completed.append(url); });
    }
    LoopbackServer server;
    WebBrowser browser;
    QList<QPair<QString, int>> errors;
    QStringList completed;
};

} // namespace

class tst_WebBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestArrivesExactlyPastTheCache_data();
    void requestArrivesExactlyPastTheCache();
    void showsPageOrRaisesNavigateError_data();
    void showsPageOrRaisesNavigateError();
    void cancelsThePreviousFetchesImagesOpensLinksOutside();
};

void tst_WebBrowser::requestArrivesExactlyPastTheCache_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("GET") << QByteArray();
    QTest::newRow("POST") << QByteArray("userid=42&text=caf%C3%A9%20%26%20cr%C3%A8me");
}

void tst_WebBrowser::requestArrivesExactlyPastTheCache()
{
    QFETCH(QByteArray, body);
    QTemporaryDir cacheDir;
    auto *cache = new QNetworkDiskCache(&platform::network());
    cache->setCacheDirectory(cacheDir.path());
    platform::network().setCache(cache);
    const auto uninstall = qScopeGuard([] { platform::network().setCache(nullptr); });
    View view;
    // The content type goes into the header block as given.
    view.server.setHandler([](const Request &) {
        return Answer{200, "<p>page</p>", "text/html\r\nCache-Control: max-age=600"};
    });
    const QString address = view.server.url("/banner.php");
    view.browser.Navigate2(address);
    QTRY_COMPARE(view.completed.size(), 1);
    QVERIFY(cache->metaData(QUrl(address)).isValid()); // the cache works

    // Neither read nor write the cache.
    view.browser.Navigate(address, 12, {}, body,
                          "Content-Type: application/x-www-form-urlencoded\r\n");
    QTRY_COMPARE(view.completed.size(), 2);
    QCOMPARE(view.server.requests.size(), 2);
    const Request &request = view.server.requests.at(1);
    QCOMPARE(request.method, body.isEmpty() ? "GET" : "POST");
    QCOMPARE(request.target, "/banner.php");
    QCOMPARE(request.body, body);
    QCOMPARE(request.header("Content-Type"), "application/x-www-form-urlencoded");
    // Caches between the program and the server are asked not to answer either.
    QCOMPARE(request.header("Cache-Control"), "no-cache");
    QCOMPARE(request.header("Pragma"), "no-cache");
}

void tst_WebBrowser::showsPageOrRaisesNavigateError_data()
{
    QTest::addColumn<int>("status"); // 0: nothing listening
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown"); // null: an error
    const QByteArray html("text/html"), latin("\xE9t\xE9");
    QTest::newRow("answer's charset") << 200 << html + "; charset=ISO-8859-1" << latin << "été";
    QTest::newRow("quoted") << 200 << html + "; charset=\"iso-8859-1\"" << latin << "été";
    QTest::newRow("page's") << 200 << html << "<meta charset=iso-8859-1>" + latin << "été";
    QTest::newRow("UTF-8") << 200 << html << QByteArray("caf\xC3\xA9 \xE2\x82\xAC") << "café €";
    QTest::newRow("plain") << 200 << QByteArray("text/plain") << QByteArray("<b>") << "<b>";
    QTest::newRow("not found") << 404 << html << QByteArray("<p>missing</p>") << QString();
    QTest::newRow("refused") << 0 << html << QByteArray() << QString();
}

void tst_WebBrowser::showsPageOrRaisesNavigateError()
{
    QFETCH(int, status);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);
    View view;
    view.server.setHandler([&](const Request &) { return Answer{status, body, type}; });
    const QString address = status ? view.server.url("/page") : "http://127.0.0.1:1/page";
    view.browser.Navigate2(address);
    QTRY_VERIFY_WITH_TIMEOUT(view.errors.size() + view.completed.size() > 0, 15000);
    QCOMPARE(view.completed.size(), shown.isNull() ? 0 : 1);
    if (shown.isNull())
        QCOMPARE(view.errors, (QList<QPair<QString, int>>{{address, status ? status : -1}}));
    else
        QCOMPARE(view.browser.toPlainText(), shown);
}

void tst_WebBrowser::cancelsThePreviousFetchesImagesOpensLinksOutside()
{
    View view;
    view.server.setHandler([](const Request &request) {
        if (request.target == "/pages/logo.pgm")
            return Answer{200, "P5 30 120 255\n" + QByteArray(3600, 'x'),
                          "image/x-portable-graymap"};
        return Answer{200, "<p><a href=\"more.html?x=1\">more</a></p><img src=\"logo.pgm\">"};
    });
    BrowserRecorder browsers;
    view.browser.show();
    QVERIFY(QTest::qWaitForWindowActive(&view.browser));
    auto hanging = std::make_unique<LoopbackServer>();
    hanging->setHandler([](const Request &) { return Answer{200, {}, {}, true}; });
    view.browser.Navigate2(hanging->url("/first"));
    QTRY_COMPARE(hanging->requests.size(), 1);
    view.browser.Navigate2(view.server.url("/pages/welcome.html"));
    QTRY_COMPARE(view.server.requests.size(), 2);
    hanging.reset(); // the first answer breaks off after its navigation is over
    QCOMPARE(view.server.requests.at(1).target, "/pages/logo.pgm");
    QTRY_VERIFY(view.browser.document()->size().height() > 120); // laid out again around the image

    QTest::keyClick(&view.browser, Qt::Key_Tab);
    QTest::keyClick(&view.browser, Qt::Key_Return);
    QCOMPARE(browsers.opened, QStringList{view.server.url("/pages/more.html?x=1")});
    QTest::qWait(50);
    QCOMPARE(view.server.requests.size(), 2); // neither the link nor the image again
    QVERIFY(view.errors.isEmpty());
}

LEXORN_TEST_MAIN(tst_WebBrowser)
#include "tst_webbrowser.moc"
