#include "platform/dhtmledit.h"
#include "platform/webbrowser.h"
#include "session/sessionsettings.h"
#include "shell/modhotkey.h"
#include "shell/modselection.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

const QString Unavailable = u"<< %1Translation unavailable >>"_s;
const QString CapMessage =
    u"You are attemping to translate more than %1 bytes! This is not permitted."_s;

} // namespace

// Presses of Translate: the checks, the provider's request and its answer cut out in the
// progress window, the result view, and the report to the banner page that follows.
class tst_TranslateCommand : public QObject
{
    Q_OBJECT

    LoopbackServer server;
    Recorder boxes;
    QByteArray providerAnswer;
    std::function<void()> whileTranslating;

    static frmTranslateText &window() { return frmTranslateText::instance(); }
    static frmTranslateSplash &splash() { return frmTranslateSplash::instance(); }

    // Puts the text into the source editor, as a paste would, and presses Translate.
    void press(const QString &text)
    {
        window().dhtFrom->setDocumentHTML(frmTranslateText::EmptyDocument);
        window().dhtFrom->insertPlainText(text);
        window().cmdTranslate->click();
    }

private Q_SLOTS:
    void init()
    {
        server.requests.clear();
        boxes.seen.clear();
        providerAnswer = "[b]Hallo[/b]";
        whileTranslating = {};
        server.setHandler([this](const LoopbackServer::Request &request) {
            if (request.target.startsWith("/banner"))
                return LoopbackServer::Answer{200, "<p>Thanks</p>"};
            if (whileTranslating)
                whileTranslating();
            return LoopbackServer::Answer{200, providerAnswer};
        });
        // English to German twice, the second with an address and markers of its own (Latin-1, as
        // the settings give them); English to French.
        Provider english;
        english.SourceLanguage = u"1"_s;
        english.TargetLanguage = u"2"_s;
        english.UrlTemplate = server.url(u"/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%"_s);
        english.ResultStart = u"[b]"_s;
        english.ResultEnd = u"[/b]"_s;
        SessionSettings = {};
        SessionSettings.Providers = {english, english, english};
        QList<Provider> &providers = SessionSettings.Providers;
        providers[1].UrlTemplate = server.url(u"/again?q=%text_encode%"_s);
        providers[1].ResultStart = QString::fromLatin1("\xC2\xBB");
        providers[1].ResultEnd = QString::fromLatin1("\xC2\xAB");
        providers[2].TargetLanguage = u"3"_s;
        SessionSettings.Languages = {Language(), Language{u"en"_s, u"English"_s},
                                     Language{u"de"_s, u"Deutsch"_s},
                                     Language{u"fr"_s, u"Français"_s}};
        SessionSettings.BannerLink = server.url(u"/banner"_s);
        SessionSettings.UserId = u"42"_s;
    }

    void cleanup()
    {
        frmTranslateSplash::Unload();
        frmTranslateText::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void nothingToDo_data()
    {
        columns<QString, int, QString>({"text", "pair", "message"});
        const QString noText = u"Please enter some text to translate."_s;
        dataRow("nothing", QString(), 0, noText);
        dataRow("non-breaking spaces", "\u00A0\u00A0 \u00A0", 0, noText);
        dataRow("no pair selected", "Hello", -1, "Please select languages.");
    }

    void nothingToDo()
    {
        auto [text, pair, message] = current<QString, int, QString>();
        window().cboTranslate->setCurrentIndex(pair);
        press(text);
        QCOMPARE(boxes.seen, QStringList{"Error 64 " + message});
        QTest::qWait(100);
        QVERIFY2(server.requests.isEmpty(), "no translation and no report");
    }

    // What goes out: the provider's request, and the report of the first 20 characters.
    void requests_data()
    {
        // reported: empty: as sent
        columns<QString, int, QByteArray, QByteArray>({"text", "cap", "sent", "reported"});
        dataRow("first 20 characters", "Hello, World! How are you today?", 0,
                "Hello%2C%20World%21%20How%20are%20you%20today%3F"_ba,
                "Hello%2C%20World%21%20How%20ar"_ba);
        dataRow("line breaks are text", "\n", 0, "%0D%0A%0D%0A"_ba, ""_ba);
        dataRow("21 characters lose the last in the report only", "abcdefghijklmnopqrstu", 0,
                "abcdefghijklmnopqrstu"_ba, "abcdefghijklmnopqrst"_ba);
        dataRow("cut between surrogate halves", QString(19, 'a') + "\U0001F600", 0,
                QByteArray(19, 'a') + "%ED%A0%BD%ED%B8%80", QByteArray(19, 'a') + "%ED%A0%BD");
        dataRow("limit shortens both", "abcdefghijklmnop", 10, "abcdefghij"_ba, ""_ba);
        dataRow("exactly the limit", "abcde", 5, "abcde"_ba, ""_ba);
        dataRow("limit counts units", "ééé", 2, "%C3%A9%C3%A9"_ba, ""_ba);
        dataRow("negative is no limit", "abcdefgh", -1, "abcdefgh"_ba, ""_ba);
    }

    void requests()
    {
        auto [text, cap, sent, reported] = current<QString, int, QByteArray, QByteArray>();
        SessionSettings.Cap = qint16(cap);
        // The box comes first: nothing may have been sent while the user reads it.
        boxes.onShow = [this](const auto &) { QVERIFY(server.requests.isEmpty()); };
        press(text);
        boxes.onShow = {};

        QTRY_COMPARE(server.requests.size(), 2);
        QCOMPARE(server.requests[0].target, "/t?s=en&d=de&q=" + sent);
        const LoopbackServer::Request &report = server.requests[1];
        // Caches between the program and the server are asked not to answer either.
        QCOMPARE(report.method + ' ' + report.target + ' ' + report.header("Content-Type") + ' ' +
                     report.header("Cache-Control") + ' ' + report.header("Pragma"),
                 "POST /banner application/x-www-form-urlencoded no-cache no-cache"_ba);
        QCOMPARE(report.body, "userid=42&src_lang=en&dest_lang=de&text=" +
                                  (reported.isEmpty() ? sent : reported));
        QCOMPARE(boxes.seen, cap > 0 && text.size() > cap
                                 ? QStringList{"Lexorn 0 " + CapMessage.arg(cap)}
                                 : QStringList());
    }

    // Translate Selection with no selection to read (offscreen, as on Windows): the clipboard's
    // text, cut before it reaches the editor; a blank one translates nothing.
    void translateSelection_data()
    {
        columns<QString, QByteArray>({"copied", "sent"});
        dataRow("copied text", u"Hello"_s, "Hello"_ba);
        dataRow("copied white space", u" \t\n\u00A0"_s, QByteArray());
        dataRow("over 32,766 units", QString(40000, u'a'), QByteArray(32766, 'a'));
    }

    void translateSelection()
    {
        auto [copied, sent] = current<QString, QByteArray>();
        QGuiApplication::clipboard()->setText(copied);
        HotKeyIds = {0, 1};
        boxes.onShow = [](const auto &) { QVERIFY(window().dhtFrom->toPlainText().isEmpty()); };
        TranslateSelection();
        boxes.onShow = {};
        QVERIFY(window().isVisible());
        QCOMPARE(server.requests.value(0).target, sent.isNull() ? sent : "/t?s=en&d=de&q=" + sent);
        QCOMPARE(boxes.seen, copied.size() > 32766
                                 ? QStringList{"Lexorn 0 " + CapMessage.arg(32766)}
                                 : QStringList());
    }

    // What comes back, as the result view shows it; the report follows all the same.
    void answers_data()
    {
        columns<QByteArray, QString>({"answer", "shown"});
        dataRow("UTF-8 between the markers", "<p>[b]\x48\x61\x6C\x6C\xC3\xB6[/b]</p>"_ba, "Hallö");
        dataRow("empty answer", QByteArray(), Unavailable.arg(1));
        dataRow("no answer: nothing listens", "refused"_ba, Unavailable.arg(1));
        dataRow("failure text beats the markers", "[b]Hallo[/b] ERROR: Translation failed"_ba,
                Unavailable.arg(2));
        dataRow("failure text is case-sensitive", "ERROR: translation failed [b]Hallo[/b]"_ba,
                "Hallo");
        dataRow("no end marker", "x[b]Hallo"_ba, Unavailable.arg(3));
        dataRow("adjacent markers", "[b][/b]"_ba, Unavailable.arg(3));
        dataRow("markup goes in as it is", "[b]a<br>b &amp; c[/b]"_ba, "a\nb & c");
    }

    void answers()
    {
        auto [answer, shown] = current<QByteArray, QString>();
        providerAnswer = answer;
        if (answer == "refused")
            SessionSettings.Providers[0].UrlTemplate = LoopbackServer::refusedUrl("/t");
        press(u"Hello"_s);
        QCOMPARE(window().dhtTo->toPlainText(), shown);
        QTRY_COMPARE(server.requests.value(server.requests.size() - 1).body,
                     "userid=42&src_lang=en&dest_lang=de&text=Hello"_ba);
    }

    // The second of two entries that read alike, then another text with the first.
    void twoTranslationsReuseOneInstance()
    {
        window().cboTranslate->setCurrentIndex(1);
        SessionSettings.Cap = 4;
        providerAnswer = "[b]first[/b] \xC2\xBB\x48\xC3\xA9\xC2\xAB";
        press(u"first text"_s);
        const QPointer<frmTranslateSplash> first = &splash();
        QCOMPARE(first->SourceText, u"firs"_s);
        QCOMPARE(server.requests[0].target, "/again?q=firs"_ba);
        QCOMPARE(window().dhtTo->toPlainText(), u"Hé"_s);

        providerAnswer.clear();
        press(u"two"_s);
        QCOMPARE(first.data(), &splash());
        QCOMPARE(first->SourceText, u"two"_s);
        // The unavailable text right after the body's start tag, escaped by the editor.
        QCOMPARE(
            window().dhtTo->DocumentHTML(),
            u"<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;}-->"
            u"</style></head><body>&lt;&lt; 1Translation unavailable &gt;&gt;</body></html>"_s);
    }

    // Its blank page hides the label; a page that failed leaves it to be seen.
    void progressWindowWhileTranslating_data()
    {
        columns<bool>({"pageFails"});
        dataRow("blank page", false);
        dataRow("failed page", true);
    }

    void progressWindowWhileTranslating()
    {
        auto [pageFails] = current<bool>();
        if (pageFails)
            splash().webTranslating->Navigate(LoopbackServer::refusedUrl(u"/t"_s));
        QTRY_VERIFY(splash().webTranslating->Visible() != pageFails);
        window().cboTranslate->setCurrentIndex(2);
        window().webBanner->SetVisible(false);
        window().move(40, 30); // away from the screen's centre
        bool covered = false, shownAfterEscape = false;
        QPoint offCentre;
        int calls = 0;
        whileTranslating = [&] {
            if (calls++ > 0)
                return;
            // A window manager's frame may not be known yet: the client area stands for it.
            offCentre = splash().geometry().center() - window().frameGeometry().center();
            const QWidget *overLabel = splash().childAt(splash().Label1->geometry().center());
            covered = overLabel == splash().webTranslating ||
                      splash().webTranslating->isAncestorOf(overLabel);
            QTest::keyClick(&splash(), Qt::Key_Escape);
            shownAfterEscape = splash().isVisible();
            // Shown anew, as a window manager may: that starts no second translation.
            splash().hide();
            splash().show();
            QCoreApplication::processEvents();
        };
        press(u"Hello"_s);
        QCOMPARE(calls, 1);
        QVERIFY2(offCentre.manhattanLength() <= 16, "centred on the translation window");
        QCOMPARE(covered, !pageFails);
        QVERIFY2(shownAfterEscape, "only its translation ends the modal show");
        QTRY_COMPARE(server.requests.size(), 2);
        QCOMPARE(server.requests[0].target, "/t?s=en&d=fr&q=Hello"_ba);
        QVERIFY2(!window().webBanner->Visible(), "reported all the same, the banner kept hidden");
    }
};

LEXORN_TEST_MAIN(tst_TranslateCommand)
#include "tst_translatecommand.moc"
