#include "platform/dhtmledit.h"
#include "platform/form.h"
#include "platform/webbrowser.h"
#include "shell/frmtrayicon.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/providersession.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "translation/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>
#include <QLabel>
#include <QTcpServer>

#include <functional>
#include <memory>

using namespace platform;

namespace {

const QString ResultHead = "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: "
                           "0px;}--></style></head><body>";
const QString ResultTail = "</body></html>";

QString refusedAddress()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    return QString("http://127.0.0.1:%1/translating").arg(port);
}

} // namespace

class tst_frmTranslateSplash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void designedWindow();
    void resultDocument_data();
    void resultDocument();
    void translatesForTheSelectedPairAndHides();
    void twoTranslationsReuseOneInstance();
    void blankBrowserCoversTheLabel();
    void navigationErrorUncoversTheLabelForGood();
    void onlyItsTranslationEndsTheModalShow();
    void activationDuringTranslationIsIgnored();

private:
    // Answers the provider's requests with body, after running `during` while the window waits.
    void provide(const QByteArray &body, std::function<void()> during = {});

    std::unique_ptr<LoopbackServer> server;
    std::unique_ptr<MessageBoxRecorder> boxes;
};

void tst_frmTranslateSplash::init()
{
    server = std::make_unique<LoopbackServer>();
    boxes = std::make_unique<MessageBoxRecorder>();
    useProviderSession(server->url("/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%"));
    SessionSettings.Languages.append(Language{"fr", "Français"});
    Provider toFrench = SessionSettings.Providers.first();
    toFrench.TargetLanguage = "3";
    SessionSettings.Providers.append(toFrench);
    frmTranslateText::instance();
}

void tst_frmTranslateSplash::cleanup()
{
    frmTranslateSplash::Unload();
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmTranslateSplash::exists());
    boxes.reset();
    server.reset();
}

void tst_frmTranslateSplash::provide(const QByteArray &body, std::function<void()> during)
{
    server->setHandler([body, during](const LoopbackServer::Request &) {
        if (during)
            during();
        return LoopbackServer::Answer{200, body};
    });
}

void tst_frmTranslateSplash::designedWindow()
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    QVERIFY(splash.isHidden());
    QCOMPARE(splash.windowTitle(), QString("Translating..."));
    QCOMPARE(splash.size(), QSize(312, 213));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
    QCOMPARE(splash.windowType(), Qt::Tool);
    QVERIFY(!(splash.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                      Qt::WindowCloseButtonHint)));
    QCOMPARE(splash.windowIcon().cacheKey(), frmTrayIcon::instance().windowIcon().cacheKey());
    QCOMPARE(splash.Label1->text(), QString("Translating..."));
    QVERIFY(splash.SourceText.isEmpty());
}

void tst_frmTranslateSplash::resultDocument_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("body"); // as the editor reads it back
    QTest::addColumn<QString>("lines");

    QTest::newRow("unavailable") << QByteArray() << "&lt;&lt; 1Translation unavailable &gt;&gt;"
                                 << "<< 1Translation unavailable >>";
    QTest::newRow("line break markup") << QByteArray("[b]a<br>b[/b]") << "a<br>b"
                                       << "a\nb";
    QTest::newRow("markup goes in unescaped")
        << QByteArray("[b]<b>Haus</b> &amp; Hof[/b]") << "<b>Haus</b> &amp; Hof"
        << "Haus & Hof";
}

void tst_frmTranslateSplash::resultDocument()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, body);
    QFETCH(QString, lines);
    provide(answer);
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    splash.SourceText = "Hello";
    splash.exec();

    const DHTMLEdit *dhtTo = frmTranslateText::instance().dhtTo;
    const QString document = dhtTo->DocumentHTML();
    QCOMPARE(document, ResultHead + body + ResultTail);
    QCOMPARE(dhtTo->toPlainText(), lines);
}

void tst_frmTranslateSplash::translatesForTheSelectedPairAndHides()
{
    frmTranslateText::instance().cboTranslate->setCurrentIndex(1);
    frmTranslateText::instance().move(40, 30); // away from the screen's centre
    bool shownMeanwhile = false;
    QPoint offCentre;
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    provide("[b]Bonjour[/b]", [&] {
        shownMeanwhile = splash.isVisible();
        // The frame a window manager adds may not be known yet: the client area stands for it.
        offCentre =
            splash.geometry().center() - frmTranslateText::instance().frameGeometry().center();
    });
    splash.SourceText = "Hello";
    splash.exec();

    QVERIFY(shownMeanwhile);
    QVERIFY2(offCentre.manhattanLength() <= 16, "centred on the translation window");
    QVERIFY(splash.isHidden());
    QCOMPARE(server->requests.size(), 1);
    QCOMPARE(server->requests.first().target, QByteArray("/t?s=en&d=fr&q=Hello"));
    QCOMPARE(frmTranslateText::instance().dhtTo->toPlainText(), QString("Bonjour"));
}

void tst_frmTranslateSplash::twoTranslationsReuseOneInstance()
{
    SessionSettings.Cap = 4;
    frmTranslateSplash *first = &frmTranslateSplash::instance();
    server->setHandler([](const LoopbackServer::Request &request) {
        const QByteArray text = request.target.mid(request.target.indexOf("&q=") + 3);
        return LoopbackServer::Answer{200, "[b]" + text + "[/b]"};
    });
    first->SourceText = "first text";
    first->exec();
    QCOMPARE(first->SourceText, QString("firs"));
    QCOMPARE(frmTranslateText::instance().dhtTo->toPlainText(), QString("firs"));

    frmTranslateSplash &second = frmTranslateSplash::instance();
    QCOMPARE(&second, first);
    second.SourceText = "two";
    second.exec();
    QCOMPARE(server->requests.size(), 2);
    QCOMPARE(second.SourceText, QString("two"));
    QCOMPARE(frmTranslateText::instance().dhtTo->toPlainText(), QString("two"));
    QVERIFY(second.isHidden());
    QCOMPARE(boxes->shown.size(), 1);
}

void tst_frmTranslateSplash::blankBrowserCoversTheLabel()
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    QWidget *seenOverLabel = nullptr;
    provide("[b]x[/b]",
            [&] { seenOverLabel = splash.childAt(splash.Label1->geometry().center()); });
    splash.SourceText = "Hello";
    splash.exec();

    QVERIFY(seenOverLabel);
    QVERIFY(seenOverLabel == splash.webTranslating ||
            splash.webTranslating->isAncestorOf(seenOverLabel));
}

void tst_frmTranslateSplash::navigationErrorUncoversTheLabelForGood()
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    splash.webTranslating->Navigate(refusedAddress());
    QTRY_VERIFY(!splash.webTranslating->Visible());

    for (const char *text : {"once", "twice"}) {
        bool labelShown = false;
        bool browserShown = true;
        provide("[b]x[/b]", [&] {
            labelShown = splash.Label1->isVisible();
            browserShown = splash.webTranslating->isVisible();
            // Even a page that loads now keeps the view hidden.
            splash.webTranslating->Navigate(server->url("/translating"));
        });
        splash.SourceText = text;
        splash.exec();
        QVERIFY2(labelShown, text);
        QVERIFY2(!browserShown, text);
        QCoreApplication::processEvents();
    }
}

void tst_frmTranslateSplash::onlyItsTranslationEndsTheModalShow()
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    bool shownAfterEscape = false;
    provide("[b]x[/b]", [&] {
        QTest::keyClick(&splash, Qt::Key_Escape);
        shownAfterEscape = splash.isVisible();
    });
    splash.SourceText = "Hello";
    splash.exec();
    QVERIFY(shownAfterEscape);
    QCOMPARE(frmTranslateText::instance().dhtTo->toPlainText(), QString("x"));
}

void tst_frmTranslateSplash::activationDuringTranslationIsIgnored()
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    bool again = true;
    provide("[b]x[/b]", [&] {
        if (!std::exchange(again, false))
            return;
        // Shown anew while the request is out: its queued start runs within the request's wait.
        splash.hide();
        splash.show();
        QCoreApplication::processEvents();
    });
    splash.SourceText = "Hello";
    splash.exec();
    QTest::qWait(50);
    QCOMPARE(server->requests.size(), 1);
    QVERIFY(splash.isHidden());
}

LEXORN_TEST_MAIN(tst_frmTranslateSplash)
#include "tst_frmtranslatesplash.moc"
