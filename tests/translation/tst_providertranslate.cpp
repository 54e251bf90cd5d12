#include "platform/identity.h"
#include "platform/network.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/providersession.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "translation/modtranslate.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>
#include <QTcpServer>

#include <memory>

using namespace platform;
using modTranslate::ProviderTranslate;

namespace {

const QByteArray Template = "/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%";

// The one provider with other markers and limit.
void useProvider(const QString &urlTemplate, const QString &start = "[b]",
                 const QString &end = "[/b]", qint16 cap = 0)
{
    useProviderSession(urlTemplate);
    SessionSettings.Providers.first().ResultStart = start;
    SessionSettings.Providers.first().ResultEnd = end;
    SessionSettings.Cap = cap;
}

// The value of the "q" parameter of the one request the server saw.
QByteArray sentText(const LoopbackServer &server)
{
    if (server.requests.size() != 1)
        return "<" + QByteArray::number(server.requests.size()) + " requests>";
    const QByteArray target = server.requests.first().target;
    return target.mid(target.indexOf("&q=") + 3);
}

} // namespace

class tst_ProviderTranslate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void address_data();
    void address();
    void cap_data();
    void cap();
    void answers_data();
    void answers();
    void refusedConnectionIsUnavailable();
    void silentProviderIsUnavailableAfterTimeOut();
    void followsTheSelectedPair();

private:
    void translateWindow();

    std::unique_ptr<LoopbackServer> server;
    std::unique_ptr<MessageBoxRecorder> boxes;
};

void tst_ProviderTranslate::init()
{
    server = std::make_unique<LoopbackServer>();
    boxes = std::make_unique<MessageBoxRecorder>();
    useProvider(server->url(QString::fromLatin1(Template)));
}

void tst_ProviderTranslate::cleanup()
{
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    boxes.reset();
    server.reset();
}

// The window reads the providers once, when it is created.
void tst_ProviderTranslate::translateWindow()
{
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(frmTranslateText::instance().cboTranslate->currentIndex(), 0);
}

void tst_ProviderTranslate::address_data()
{
    QTest::addColumn<QString>("urlTemplate");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("codes and text")
        << QString::fromLatin1(Template) << "a b" << QByteArray("/t?s=en&d=de&q=a%20b");
    QTest::newRow("placeholder twice")
        << "/t?a=%src_lang%&b=%src_lang%&c=%dest_lang%%dest_lang%&q=%text_encode%"
        << "x" << QByteArray("/t?a=en&b=en&c=dede&q=x");
    QTest::newRow("no text placeholder") << "/t?s=%src_lang%"
                                         << "ignored" << QByteArray("/t?s=en");
    QTest::newRow("UTF-8") << QString::fromLatin1(Template) << "é€ü"
                           << QByteArray("/t?s=en&d=de&q=%C3%A9%E2%82%AC%C3%BC");
}

void tst_ProviderTranslate::address()
{
    QFETCH(QString, urlTemplate);
    QFETCH(QString, text);
    QFETCH(QByteArray, target);
    useProvider(server->url(urlTemplate));
    translateWindow();
    server->answerWith(200, "[b]ok[/b]");

    QCOMPARE(ProviderTranslate(text, "en", "de"), QString("ok"));
    QCOMPARE(server->requests.size(), 1);
    QCOMPARE(server->requests.first().method, QByteArray("GET"));
    QCOMPARE(server->requests.first().target, target);
    QVERIFY(boxes->shown.isEmpty());
}

void tst_ProviderTranslate::cap_data()
{
    QTest::addColumn<int>("cap");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("over the limit")
        << 5 << "abcdefgh"
        << "You are attemping to translate more than 5 bytes! This is not permitted."
        << "abcde" << QByteArray("abcde");
    QTest::newRow("exactly the limit")
        << 5 << "abcde" << QString() << "abcde" << QByteArray("abcde");
    QTest::newRow("limit counts units, not bytes")
        << 2 << "ééé"
        << "You are attemping to translate more than 2 bytes! This is not permitted."
        << "éé" << QByteArray("%C3%A9%C3%A9");
    QTest::newRow("no limit") << 0 << QString(600, 'y') << QString() << QString(600, 'y')
                              << QByteArray(600, 'y');
    QTest::newRow("negative is no limit")
        << -1 << "abcdefgh" << QString() << "abcdefgh" << QByteArray("abcdefgh");
}

void tst_ProviderTranslate::cap()
{
    QFETCH(int, cap);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, kept);
    QFETCH(QByteArray, sent);
    useProvider(server->url(QString::fromLatin1(Template)), "[b]", "[/b]", qint16(cap));
    translateWindow();
    server->answerWith(200, "[b]ok[/b]");
    // The box comes before the request: nothing may have been sent while the user reads it.
    qsizetype requestsDuringBox = -1;
    boxes->onShow = [&](const MessageBoxRequest &) { requestsDuringBox = server->requests.size(); };

    QCOMPARE(ProviderTranslate(text, "en", "de"), QString("ok"));
    QCOMPARE(text, kept);
    QCOMPARE(sentText(*server), sent);
    if (message.isEmpty()) {
        QVERIFY(boxes->shown.isEmpty());
    } else {
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown.first().prompt, message);
        QCOMPARE(boxes->shown.first().style, int(vbOKOnly));
        QCOMPARE(boxes->shown.first().title, AppTitle());
        QCOMPARE(requestsDuringBox, 0);
    }
}

void tst_ProviderTranslate::answers_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("result");

    const QString b = "[b]", eb = "[/b]";
    QTest::newRow("UTF-8 between the markers")
        << b << eb << 200 << QByteArray("<p>[b]\x48\x61\x6C\x6C\xC3\xB6[/b]</p>") << "Hallö";
    QTest::newRow("empty answer") << b << eb << 200 << QByteArray()
                                  << "<< 1Translation unavailable >>";
    QTest::newRow("failure text beats the markers")
        << b << eb << 200 << QByteArray("[b]Hallo[/b] ERROR: Translation failed")
        << "<< 2Translation unavailable >>";
    QTest::newRow("failure text is case-sensitive")
        << b << eb << 200 << QByteArray("ERROR: translation failed [b]Hallo[/b]") << "Hallo";
    QTest::newRow("no end marker")
        << b << eb << 200 << QByteArray("x[b]Hallo") << "<< 3Translation unavailable >>";
    QTest::newRow("no markers") << b << eb << 200 << QByteArray("Hallo")
                                << "<< 3Translation unavailable >>";
    QTest::newRow("adjacent markers")
        << b << eb << 200 << QByteArray("[b][/b]") << "<< 3Translation unavailable >>";
    QTest::newRow("status is not looked at")
        << b << eb << 404 << QByteArray("Not here, but [b]Hallo[/b]") << "Hallo";
    QTest::newRow("markup and references stay")
        << b << eb << 200 << QByteArray("[b]a<br>b &amp; c[/b]") << "a<br>b &amp; c";
    // The settings answer hands over each byte as one unit: "»" and "«" in UTF-8.
    QTest::newRow("markers beyond ASCII as bytes")
        << QString::fromLatin1("\xC2\xBB") << QString::fromLatin1("\xC2\xAB") << 200
        << QByteArray("\xC2\xBB\x48\xC3\xA9\xC2\xAB") << "Hé";
}

void tst_ProviderTranslate::answers()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, result);
    useProvider(server->url(QString::fromLatin1(Template)), start, end);
    translateWindow();
    server->answerWith(status, body);

    QString text = "Hello";
    QCOMPARE(ProviderTranslate(text, "en", "de"), result);
    QCOMPARE(server->requests.size(), 1);
    QCOMPARE(text, QString("Hello"));
}

void tst_ProviderTranslate::refusedConnectionIsUnavailable()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    useProvider(QString("http://127.0.0.1:%1/t?q=%text_encode%").arg(port));
    translateWindow();

    QString text = "Hello";
    QCOMPARE(ProviderTranslate(text, "en", "de"), QString("<< 1Translation unavailable >>"));
    QVERIFY(boxes->shown.isEmpty());
}

void tst_ProviderTranslate::silentProviderIsUnavailableAfterTimeOut()
{
    const int standard = transferTimeout();
    setTransferTimeout(300);
    translateWindow();
    server->setHandler([](const LoopbackServer::Request &) {
        LoopbackServer::Answer answer;
        answer.hang = true;
        return answer;
    });

    QString text = "Hello";
    const QString result = ProviderTranslate(text, "en", "de");
    setTransferTimeout(standard);
    QCOMPARE(result, QString("<< 1Translation unavailable >>"));
    QCOMPARE(server->requests.size(), 1);
}

void tst_ProviderTranslate::followsTheSelectedPair()
{
    useProvider(server->url("/first?q=%text_encode%"));
    Provider second = SessionSettings.Providers.first();
    second.UrlTemplate = server->url("/second?q=%text_encode%");
    second.ResultStart = "<r>";
    second.ResultEnd = "</r>";
    SessionSettings.Providers.append(second);
    translateWindow();
    frmTranslateText::instance().cboTranslate->setCurrentIndex(1);
    server->answerWith(200, "[b]first markers[/b] <r>second markers</r>");

    QString text = "x";
    QCOMPARE(ProviderTranslate(text, "en", "de"), QString("second markers"));
    QCOMPARE(server->requests.size(), 1);
    QCOMPARE(server->requests.first().target, QByteArray("/second?q=x"));
}

LEXORN_TEST_MAIN(tst_ProviderTranslate)
#include "tst_providertranslate.moc"
