#include "platform/network.h"
#include "platform/webbrowser.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QTextDocument>

using platform::WebBrowser;
using Answer = LoopbackServer::Answer;
using Request = LoopbackServer::Request;

// A view and its server; what it reported, as the program's handlers see it.
struct View
{
    View()
    {
        QObject::connect(&browser, &WebBrowser::NavigateError, &browser,
                         [this](QObject *, const QString &url, const QString &, int status,
                                bool &) { reports.append(url + ' ' + QString::number(status)); });
        QObject::connect(&browser, &WebBrowser::DocumentComplete, &browser,
                         [this](const QString &url) { reports.append(url); });
    }
    LoopbackServer server;
    WebBrowser browser;
    QStringList reports; // "URL" when complete, "URL STATUS" on an error
};

class tst_WebBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void flags12GoPastTheCache_data()
    {
        QTest::addColumn<QByteArray>("body");
        dataRow("GET", QByteArray());
        dataRow("POST", QByteArray("userid=42&text=caf%C3%A9%20%26%20cr%C3%A8me"));
    }

    void flags12GoPastTheCache()
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
        QTRY_COMPARE(view.reports.size(), 1);
        QVERIFY(cache->metaData(QUrl(address)).isValid()); // the cache works

        view.browser.Navigate(address, 12, {}, body,
                              "Content-Type: application/x-www-form-urlencoded\r\n");
        QTRY_COMPARE(view.reports, QStringList(2, address));
        const Request &request = view.server.requests.value(1);
        // Caches between the program and the server are asked not to answer either.
        QCOMPARE(QList<QByteArray>({request.method, request.target, request.body,
                                    request.header("Content-Type"), request.header("Cache-Control"),
                                    request.header("Pragma")}),
                 QList<QByteArray>({body.isEmpty() ? "GET" : "POST", "/banner.php", body,
                                    "application/x-www-form-urlencoded", "no-cache", "no-cache"}));
    }

    void showsPageOrRaisesNavigateError_data()
    {
        // status: 0: nothing listening
        // shown: null: an error
        columns<int, QByteArray, QByteArray, QString>({"status", "type", "body", "shown"});
        const QByteArray html("text/html"), latin("\xE9t\xE9");
        dataRow("answer's charset", 200, html + "; charset=ISO-8859-1", latin, QString("été"));
        dataRow("quoted", 200, html + "; charset=\"iso-8859-1\"", latin, QString("été"));
        dataRow("page's", 200, html, "<meta charset=iso-8859-1>" + latin, QString("été"));
        dataRow("UTF-8", 200, html, QByteArray("caf\xC3\xA9 \xE2\x82\xAC"), QString("café €"));
        dataRow("plain", 200, QByteArray("text/plain"), QByteArray("<b>"), QString("<b>"));
        dataRow("not found", 404, html, QByteArray("<p>missing</p>"), QString());
        dataRow("refused", 0, html, QByteArray(), QString());
    }

    void showsPageOrRaisesNavigateError()
    {
        auto [status, type, body, shown] =
            fetch<int, QByteArray, QByteArray, QString>("status", "type", "body", "shown");
        View view;
        view.server.setHandler([&](const Request &) { return Answer{status, body, type}; });
        const QString address =
            status ? view.server.url("/page") : LoopbackServer::refusedUrl("/page");
        view.browser.Navigate2(address);
        QTRY_VERIFY_WITH_TIMEOUT(!view.reports.isEmpty(), 15000);
        QCOMPARE(view.reports,
                 QStringList(shown.isNull() ? address + ' ' + QString::number(status ? status : -1)
                                            : address));
        if (!shown.isNull())
            QCOMPARE(view.browser.toPlainText(), shown);
    }

    void cancelsThePreviousFetchesImagesOpensLinksOutside()
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
        hanging->failWith(LoopbackServer::Fault::Hang);
        view.browser.Navigate2(hanging->url("/first"));
        QTRY_COMPARE(hanging->requests.size(), 1);
        view.browser.Navigate2(view.server.url("/pages/welcome.html"));
        QTRY_COMPARE(view.server.requests.size(), 2);
        hanging.reset(); // the first answer breaks off after its navigation is over
        QCOMPARE(view.server.requests.at(1).target, "/pages/logo.pgm");
        QTRY_VERIFY(view.browser.document()->size().height() > 120); // laid out around the image

        QTest::keyClick(&view.browser, Qt::Key_Tab);
        QTest::keyClick(&view.browser, Qt::Key_Return);
        QCOMPARE(browsers.opened, QStringList{view.server.url("/pages/more.html?x=1")});
        QTest::qWait(50);
        QCOMPARE(view.server.requests.size(), 2); // neither the link nor the image again
        QCOMPARE(view.reports, QStringList{view.server.url("/pages/welcome.html")});
    }
};

LEXORN_TEST_MAIN(tst_WebBrowser)
#include "tst_webbrowser.moc"
