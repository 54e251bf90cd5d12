// What the user sees when a server misbehaves: the settings download and the banner page each meet
// every fault, and each fault must end in its defined outcome with memory bounded.
#include "platform/network.h"
#include "platform/webbrowser.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/signin.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTextDocument>

using namespace platform;
using Fault = LoopbackServer::Fault;

namespace {

// Well under the 200 MB a server may send, with room for the sanitizers' quarantine.
constexpr qint64 MemoryBoundKiB = 128 * 1024;

qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// How far resident memory rises from now, at its highest.
qint64 peakGrowthKiB(const std::function<void()> &transfer)
{
    const qint64 start = statusKiB("VmRSS:");
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // restarts the high-water mark
    transfer();
    return statusKiB("VmHWM:") - start;
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsAndBanner_data();
    void settingsAndBanner();
    void imagesOfOnePageShareTheSizeCap();
    void largePicturesShareOneMemoryBudget();
};

void tst_Faults::settingsAndBanner_data()
{
    // fault: None: nothing listens
    columns<Fault, QString>({"fault", "description"});
    dataRow("connection refused", Fault::None, QString());
    dataRow("reset in the body", Fault::ResetMidBody, QString());
    dataRow("closed in the body", Fault::CloseMidBody, QString());
    dataRow("never answers", Fault::Hang, QString("did not finish within"));
    dataRow("one byte a second", Fault::OneBytePerSecond, QString("did not finish within"));
    dataRow("200 MB body", Fault::EndlessBody, QString("larger than 16 MiB"));
    dataRow("200 MB announced", Fault::AnnouncedBody, QString("larger than 16 MiB"));
    dataRow("redirect loop", Fault::RedirectLoop, QString());
}

void tst_Faults::settingsAndBanner()
{
    auto [fault, description] = fetch<Fault, QString>("fault", "description");
    LoopbackServer server;
    server.failWith(fault);
    const auto address = [&](const QString &path) {
        return fault == Fault::None ? LoopbackServer::refusedUrl(path) : server.url(path);
    };
    const int usualTimeout = transferTimeout();
    const auto restore = qScopeGuard([=] { setTransferTimeout(usualTimeout); });
    if (fault == Fault::Hang || fault == Fault::OneBytePerSecond)
        setTransferTimeout(1500);

    const QString password = "Marmot-Teapot-4417";
    storeCredentials("fault@lexorn.example", password);
    qputenv("LEXORN_SERVICE_HOST", QUrl(address("/")).authority().toLatin1());
    MessageBoxRecorder boxes;
    QVERIFY(peakGrowthKiB([] { QCOMPARE(loadSettingsEnding(), 1); }) < MemoryBoundKiB);
    const QString prompt = boxes.seen().join('|');
    QVERIFY2(prompt.startsWith("Error 16 Cannot get settings!\n\n") && prompt.size() > 31 &&
                 prompt.contains(description) && !prompt.contains(password),
             qPrintable(prompt));
    QCOMPARE(server.redirectsFollowed, fault == Fault::RedirectLoop ? 5 : 0);

    WebBrowser *banner = frmTranslateText::instance().webBanner;
    banner->SetVisible(true);
    QVERIFY(peakGrowthKiB([&] {
                banner->Navigate2(address("/welcome.php"));
                QTRY_VERIFY_WITH_TIMEOUT(!banner->Visible(), 20000);
            }) < MemoryBoundKiB);
    QVERIFY(server.bodyBytesSent < 2 * 3 * MaxBodyBytes);
}

void tst_Faults::imagesOfOnePageShareTheSizeCap()
{
    LoopbackServer images, server;
    images.failWith(Fault::EndlessBody);
    QByteArray page = "<p>pictures</p>";
    for (int i = 0; i < 24; ++i)
        page += "<img src=\"" + images.url(QStringLiteral("/%1.png").arg(i)).toLatin1() + "\">";
    server.answerWith(200, page);
    WebBrowser browser;
    browser.show();
    browser.Navigate2(server.url("/page"));
    QTRY_COMPARE_WITH_TIMEOUT(images.requests.size(), 24, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(images.openConnections, 0, 60000);
    QVERIFY2(images.bodyBytesSent < 3 * MaxBodyBytes,
             qPrintable(QString::number(images.bodyBytesSent)));
}

void tst_Faults::largePicturesShareOneMemoryBudget()
{
    // A plain 2000 x 2000 picture: a few kilobytes of PNG, 16 MB once decoded.
    QImage picture(2000, 2000, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer file(&png);
    file.open(QIODevice::WriteOnly);
    QVERIFY(picture.save(&file, "PNG"));
    LoopbackServer server;
    QByteArray page = "<p>pictures</p>";
    QList<QUrl> addresses;
    for (int i = 0; i < 12; ++i) {
        addresses.append(QUrl(server.url(QStringLiteral("/%1.png").arg(i))));
        page += "<img src=\"" + addresses.last().toEncoded() + "\">";
    }
    server.setHandler([&](const LoopbackServer::Request &request) {
        const bool isPage = request.target == "/page";
        return LoopbackServer::Answer{200, isPage ? page : png, isPage ? "text/html" : "image/png"};
    });
    WebBrowser browser;
    browser.show();
    browser.Navigate2(server.url("/page"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 13, 20000);
    const auto decoded = [&] {
        int n = 0;
        for (const QUrl &address : std::as_const(addresses))
            n += browser.loadResource(QTextDocument::ImageResource, address).isValid();
        return n;
    };
    // 64 MiB hold four of them; the other eight are never decoded.
    QTRY_COMPARE_WITH_TIMEOUT(decoded(), 4, 20000);
    QTest::qWait(200);
    QCOMPARE(decoded(), 4);
}

LEXORN_TEST_MAIN(tst_Faults)
#include "tst_faults.moc"
