#include "platform/dhtmledit.h"
#include "platform/webbrowser.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/providersession.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "translation/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>
#include <QPushButton>

#include <memory>

using namespace platform;

namespace {

const QByteArray FormType = "application/x-www-form-urlencoded";

QString text16(const char16_t *units)
{
    return QString::fromUtf16(units);
}

} // namespace

class tst_TranslateCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void nothingToTranslate_data();
    void nothingToTranslate();
    void lineBreaksAreText();
    void noPairSelected();
    void bannerReport_data();
    void bannerReport();
    void reportFollowsEveryTranslation_data();
    void reportFollowsEveryTranslation();

private:
    // Types text into the source editor, as the user would, and presses Translate.
    void translate(const QString &text);
    QList<LoopbackServer::Request> requestsTo(const QByteArray &path) const;

    std::unique_ptr<LoopbackServer> server;
    std::unique_ptr<MessageBoxRecorder> boxes;
    QByteArray providerAnswer;
};

void tst_TranslateCommand::init()
{
    server = std::make_unique<LoopbackServer>();
    boxes = std::make_unique<MessageBoxRecorder>();
    providerAnswer = "<div>[b]Hallo[/b]</div>";
    server->setHandler([this](const LoopbackServer::Request &request) {
        if (request.target.startsWith("/banner"))
            return LoopbackServer::Answer{200, "<p>Thanks</p>"};
        return LoopbackServer::Answer{200, providerAnswer};
    });
    useProviderSession(server->url("/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%"));
    SessionSettings.UserId = "42";
    SessionSettings.BannerLink = server->url("/banner");
}

void tst_TranslateCommand::cleanup()
{
    frmTranslateSplash::Unload();
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    boxes.reset();
    server.reset();
}

void tst_TranslateCommand::translate(const QString &text)
{
    frmTranslateText &window = frmTranslateText::instance();
    window.dhtFrom->setDocumentHTML(frmTranslateText::EmptyDocument);
    window.dhtFrom->insertPlainText(text);
    window.cmdTranslate->click();
}

QList<LoopbackServer::Request> tst_TranslateCommand::requestsTo(const QByteArray &path) const
{
    QList<LoopbackServer::Request> found;
    for (const LoopbackServer::Request &request : server->requests) {
        if (request.target.startsWith(path))
            found.append(request);
    }
    return found;
}

void tst_TranslateCommand::nothingToTranslate_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << QString();
    QTest::newRow("spaces") << "    ";
    QTest::newRow("non-breaking spaces") << text16(u"\u00A0\u00A0 \u00A0");
}

void tst_TranslateCommand::nothingToTranslate()
{
    QFETCH(QString, text);
    translate(text);

    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->shown.first().prompt, QString("Please enter some text to translate."));
    QCOMPARE(boxes->shown.first().title, QString("Error"));
    QCOMPARE(boxes->shown.first().style, int(vbInformation));
    QVERIFY(frmTranslateSplash::instance().isHidden());
    QTest::qWait(100);
    QVERIFY2(server->requests.isEmpty(), "no translation and no report");
}

void tst_TranslateCommand::lineBreaksAreText()
{
    translate("\n");

    QVERIFY(boxes->shown.isEmpty());
    const auto translations = requestsTo("/t");
    QCOMPARE(translations.size(), 1);
    QCOMPARE(translations.first().target, QByteArray("/t?s=en&d=de&q=%0D%0A%0D%0A"));
    QCOMPARE(frmTranslateText::instance().dhtTo->toPlainText(), QString("Hallo"));
    QTRY_COMPARE(requestsTo("/banner").size(), 1);
}

void tst_TranslateCommand::noPairSelected()
{
    frmTranslateText::instance().cboTranslate->setCurrentIndex(-1);
    translate("Hello");

    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->shown.first().prompt, QString("Please select languages."));
    QCOMPARE(boxes->shown.first().title, QString("Error"));
    QCOMPARE(boxes->shown.first().style, int(vbInformation));
    QTest::qWait(100);
    QVERIFY(server->requests.isEmpty());
}

void tst_TranslateCommand::bannerReport_data()
{
    QTest::addColumn<QString>("userId");
    QTest::addColumn<int>("cap");
    QTest::addColumn<QString>("text"); // typed into one paragraph, which ends in CR LF
    QTest::addColumn<QByteArray>("translated");
    QTest::addColumn<QByteArray>("reported");

    const QByteArray fields = "userid=42&src_lang=en&dest_lang=de&text=";
    QTest::newRow("first 20 characters")
        << "42" << 0 << "Hello, World! How are you today?"
        << QByteArray("Hello%2C%20World%21%20How%20are%20you%20today%3F")
        << fields + "Hello%2C%20World%21%20How%20ar";
    QTest::newRow("20 characters whole")
        << "42" << 0 << "abcdefghijklmnopqrst" << QByteArray("abcdefghijklmnopqrst")
        << fields + "abcdefghijklmnopqrst";
    QTest::newRow("21 characters lose the last in the report only")
        << "42" << 0 << "abcdefghijklmnopqrstu" << QByteArray("abcdefghijklmnopqrstu")
        << fields + "abcdefghijklmnopqrst";
    QTest::newRow("cut between surrogate halves")
        << "42" << 0 << QString(19, 'a') + text16(u"\U0001F600")
        << QByteArray(19, 'a') + "%ED%A0%BD%ED%B8%80" << fields + QByteArray(19, 'a') + "%ED%A0%BD";
    QTest::newRow("limit shortens both requests")
        << "42" << 10 << "abcdefghijklmnop" << QByteArray("abcdefghij") << fields + "abcdefghij";
    QTest::newRow("user id goes in unencoded, as UTF-8")
        << "Zoë&1" << 0 << "Hi" << QByteArray("Hi")
        << QByteArray("userid=Zo\xC3\xAB&1&src_lang=en&dest_lang=de&text=Hi");
}

void tst_TranslateCommand::bannerReport()
{
    QFETCH(QString, userId);
    QFETCH(int, cap);
    QFETCH(QString, text);
    QFETCH(QByteArray, translated);
    QFETCH(QByteArray, reported);
    SessionSettings.UserId = userId;
    SessionSettings.Cap = qint16(cap);
    translate(text);

    QTRY_COMPARE(server->requests.size(), 2);
    const LoopbackServer::Request &translation = server->requests.at(0);
    QCOMPARE(translation.target, "/t?s=en&d=de&q=" + translated);
    const LoopbackServer::Request &report = server->requests.at(1);
    QCOMPARE(report.method, QByteArray("POST"));
    QCOMPARE(report.target, QByteArray("/banner"));
    QCOMPARE(report.header("Content-Type"), FormType);
    QCOMPARE(report.body, reported);
    QCOMPARE(boxes->shown.size(), cap > 0 ? 1 : 0);
}

void tst_TranslateCommand::reportFollowsEveryTranslation_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("bannerShown");

    QTest::newRow("translation") << QByteArray("[b]Hallo[/b]") << true;
    QTest::newRow("empty answer") << QByteArray() << true;
    QTest::newRow("hidden banner") << QByteArray("[b]Hallo[/b]") << false;
}

void tst_TranslateCommand::reportFollowsEveryTranslation()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, bannerShown);
    providerAnswer = answer;
    frmTranslateText &window = frmTranslateText::instance();
    window.webBanner->SetVisible(bannerShown);
    translate("Hello");

    QTRY_COMPARE(server->requests.size(), 2);
    QVERIFY(server->requests.at(0).target.startsWith("/t?"));
    QCOMPARE(server->requests.at(1).target, QByteArray("/banner"));
    QCOMPARE(server->requests.at(1).body,
             QByteArray("userid=42&src_lang=en&dest_lang=de&text=Hello"));
    QTRY_VERIFY(window.webBanner->toPlainText().contains("Thanks"));
    QCOMPARE(window.webBanner->Visible(), bannerShown);
}

LEXORN_TEST_MAIN(tst_TranslateCommand)
#include "tst_translatecommand.moc"
