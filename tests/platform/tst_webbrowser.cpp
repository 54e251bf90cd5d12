#include "platform/network.h"
#include "platform/webbrowser.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QTcpServer>
#include <QTextDocument>

using platform::WebBrowser;

namespace {

const QString formHeader = QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n");

// What the view reported, as the program's handlers would see it.
struct Outcome
{
    explicit Outcome(WebBrowser &browser)
    {
        QObject::connect(
            &browser, &WebBrowser::NavigateError, &browser,
            [this](QObject *, const QString &url, const QString &, int status, bool &) {
                errors.append({url, status});
            });
        QObject::connect(&browser, &WebBrowser::DocumentComplete, &browser,
                         [this](const QString &url) { completed.append(url); });
    }
    QList<QPair<QString, int>> errors;
    QStringList completed;
};

QByteArray png(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class tst_WebBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void getShowsThePage();
    void postSendsItsBytesAndHeaders();
    void bypassesEveryCache();
    void failuresRaiseNavigateError_data();
    void failuresRaiseNavigateError();
    void decodesByCharset_data();
    void decodesByCharset();
    void fetchesImagesOfThePage();
    void newNavigationCancelsThePrevious();
    void followedLinkOpensInUsersBrowser();
    void visibilityIsReported();
};

void tst_WebBrowser::getShowsThePage()
{
    LoopbackServer server;
    server.answerWith(200, "<html><body><h1>Welcome</h1><p>to Lexorn</p></body></html>");
    WebBrowser browser;
    Outcome outcome(browser);

    browser.Navigate2(server.url("/welcome"), 0, QString(), QByteArray(), formHeader);
    QCOMPARE(browser.toPlainText(), QString()); // returns before anything arrived

    QTRY_COMPARE(outcome.completed.size(), 1);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.at(0).method, "GET");
    QCOMPARE(server.requests.at(0).target, "/welcome");
    QCOMPARE(server.requests.at(0).body, QByteArray());
    QCOMPARE(browser.toPlainText(), "Welcome\nto Lexorn");
    QVERIFY(outcome.errors.isEmpty());
}

void tst_WebBrowser::postSendsItsBytesAndHeaders()
{
    LoopbackServer server;
    server.answerWith(200, "<p>thanks</p>");
    WebBrowser browser;
    Outcome outcome(browser);
    const QByteArray body("userid=42&src_lang=en&dest_lang=fr&text=caf%C3%A9%20%26%20cr%C3%A8me");

    browser.Navigate(server.url("/banner.php"), 12, QString(), body,
                     formHeader + "X-Lexorn-Check: two lines\r\n");

    QTRY_COMPARE(outcome.completed.size(), 1);
    QCOMPARE(server.requests.size(), 1);
    const LoopbackServer::Request &request = server.requests.at(0);
    QCOMPARE(request.method, "POST");
    QCOMPARE(request.target, "/banner.php");
    QCOMPARE(request.body, body);
    QCOMPARE(request.header("Content-Type"), "application/x-www-form-urlencoded");
    QCOMPARE(request.header("X-Lexorn-Check"), "two lines");
    QCOMPARE(browser.toPlainText(), "thanks");
}

void tst_WebBrowser::bypassesEveryCache()
{
    QTemporaryDir cacheDir;
    auto *cache = new QNetworkDiskCache(&platform::network());
    cache->setCacheDirectory(cacheDir.path());
    platform::network().setCache(cache);
    const auto uninstall = qScopeGuard([] { platform::network().setCache(nullptr); });

    LoopbackServer server;
    server.setHandler([](const LoopbackServer::Request &) {
        // The server writes the content type into its header block as it is given.
        return LoopbackServer::Answer{200, "<p>page</p>",
                                      "text/html\r\nCache-Control: public, max-age=3600"};
    });
    WebBrowser browser;
    Outcome outcome(browser);
    const QString address = server.url("/banner.php");

    // A plain navigation is cached and answered from the cache: the cache works.
    browser.Navigate2(address);
    QTRY_COMPARE(outcome.completed.size(), 1);
    QVERIFY(cache->metaData(QUrl(address)).isValid());
    browser.Navigate2(address);
    QTRY_COMPARE(outcome.completed.size(), 2);
    QCOMPARE(server.requests.size(), 1);

    browser.Navigate(address, 12, QString(), QByteArray("a=1"), formHeader);
    QTRY_COMPARE(outcome.completed.size(), 3);
    browser.Navigate(address, 12);
    QTRY_COMPARE(outcome.completed.size(), 4);
    QCOMPARE(server.requests.size(), 3);
    // Caches between the program and the server are asked not to answer either.
    QCOMPARE(server.requests.at(2).header("Cache-Control"), "no-cache");
    QCOMPARE(server.requests.at(2).header("Pragma"), "no-cache");
    QVERIFY(outcome.errors.isEmpty());
}

void tst_WebBrowser::failuresRaiseNavigateError_data()
{
    QTest::addColumn<int>("status"); // 0: no server listening
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("transportFailure");

    QTest::newRow("not found") << 404 << QByteArray("<p>missing</p>") << false;
    QTest::newRow("bad request") << 400 << QByteArray() << false;
    QTest::newRow("server error") << 503 << QByteArray("busy") << false;
    QTest::newRow("refused") << 0 << QByteArray() << true;
    QTest::newRow("over the size limit")
        << 200 << QByteArray(platform::MaxBodyBytes + 1, 'x') << true;
}

void tst_WebBrowser::failuresRaiseNavigateError()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, transportFailure);

    LoopbackServer server;
    server.answerWith(status, body);
    QString address = server.url("/welcome");
    if (status == 0) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        address = QStringLiteral("http://127.0.0.1:%1/welcome").arg(closed.serverPort());
    }
    WebBrowser browser;
    Outcome outcome(browser);
    browser.Navigate2(address);

    QTRY_COMPARE_WITH_TIMEOUT(outcome.errors.size(), 1, 15000);
    QCOMPARE(outcome.errors.at(0).first, address);
    if (transportFailure)
        QVERIFY(outcome.errors.at(0).second == 200 || outcome.errors.at(0).second < 0);
    else
        QCOMPARE(outcome.errors.at(0).second, status);
    QVERIFY(outcome.completed.isEmpty());
}

void tst_WebBrowser::decodesByCharset_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown");

    QTest::newRow("charset of the answer")
        << QByteArray("text/html; charset=ISO-8859-1") << QByteArray("\xE9t\xE9") << "été";
    QTest::newRow("quoted charset")
        << QByteArray("text/html; charset=\"iso-8859-1\"") << QByteArray("\xE9t\xE9") << "été";
    QTest::newRow("charset of the page")
        << QByteArray("text/html")
        << QByteArray("<html><head><meta charset=\"iso-8859-1\"></head><body>\xE9t\xE9</body>")
        << "été";
    QTest::newRow("UTF-8 by default")
        << QByteArray("text/html") << QByteArray("caf\xC3\xA9 \xE2\x82\xAC") << "café €";
    QTest::newRow("plain text is not markup")
        << QByteArray("text/plain; charset=utf-8") << QByteArray("<b>x</b>") << "<b>x</b>";
}

void tst_WebBrowser::decodesByCharset()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);

    LoopbackServer server;
    server.setHandler([&](const LoopbackServer::Request &) {
        return LoopbackServer::Answer{200, body, contentType};
    });
    WebBrowser browser;
    Outcome outcome(browser);
    browser.Navigate2(server.url("/page"));
    QTRY_COMPARE(outcome.completed.size(), 1);
    QCOMPARE(browser.toPlainText(), shown);
}

void tst_WebBrowser::fetchesImagesOfThePage()
{
    LoopbackServer server;
    const QByteArray picture = png(QSize(30, 120));
    server.setHandler([&](const LoopbackServer::Request &request) {
        if (request.target == "/pages/logo.png")
            return LoopbackServer::Answer{200, picture, "image/png"};
        return LoopbackServer::Answer{200, "<p>before</p><img src=\"logo.png\"><p>after</p>"};
    });
    WebBrowser browser;
    browser.resize(200, 200);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    Outcome outcome(browser);
    browser.Navigate2(server.url("/pages/welcome.html"));
    QTRY_COMPARE(outcome.completed.size(), 1);

    QTRY_COMPARE(server.requests.size(), 2);
    QCOMPARE(server.requests.at(1).target, "/pages/logo.png");
    const QUrl logo(server.url("/pages/logo.png"));
    QTRY_COMPARE(
        browser.document()->resource(QTextDocument::ImageResource, logo).value<QImage>().size(),
        QSize(30, 120));
    // The page is laid out again around the image once it has arrived.
    QTRY_VERIFY(browser.document()->size().height() > 120);
    QCOMPARE(server.requests.size(), 2); // fetched once
}

void tst_WebBrowser::newNavigationCancelsThePrevious()
{
    auto server = std::make_unique<LoopbackServer>();
    server->setHandler([](const LoopbackServer::Request &request) {
        LoopbackServer::Answer answer{200, "<p>second</p>"};
        answer.hang = request.target == "/first";
        return answer;
    });
    WebBrowser browser;
    Outcome outcome(browser);
    browser.Navigate2(server->url("/first"));
    QTRY_COMPARE(server->requests.size(), 1);
    browser.Navigate2(server->url("/second"));
    QTRY_COMPARE(outcome.completed.size(), 1);

    // The first answer breaks off now; the navigation it belonged to is over already.
    server.reset();
    QTest::qWait(200);
    QVERIFY(outcome.errors.isEmpty());
    QCOMPARE(outcome.completed.size(), 1);
    QCOMPARE(browser.toPlainText(), "second");
}

void tst_WebBrowser::followedLinkOpensInUsersBrowser()
{
    LoopbackServer server;
    server.answerWith(200, "<p><a href=\"more.html?x=1\">more</a></p>");
    BrowserRecorder browsers;
    QWidget window;
    auto *browser = new WebBrowser(&window);
    browser->resize(200, 100);
    Outcome outcome(*browser);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    browser->Navigate2(server.url("/pages/welcome.html"));
    QTRY_COMPARE(outcome.completed.size(), 1);

    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);

    QCOMPARE(browsers.opened, QStringList{server.url("/pages/more.html?x=1")});
    QTest::qWait(50);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(browser->toPlainText(), "more");
}

void tst_WebBrowser::visibilityIsReported()
{
    QWidget window;
    auto *browser = new WebBrowser(&window);
    QVERIFY(browser->Visible());
    QList<bool> changes;
    connect(browser, &WebBrowser::VisibleChanged, this,
            [&changes](bool visible) { changes.append(visible); });

    browser->SetVisible(false);
    QVERIFY(!browser->Visible());
    browser->SetVisible(true);
    QVERIFY(browser->Visible());
    QCOMPARE(changes, (QList<bool>{false, true}));
}

LEXORN_TEST_MAIN(tst_WebBrowser)
#include "tst_webbrowser.moc"
