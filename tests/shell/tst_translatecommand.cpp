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
        const QString url = server.url(u"/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%"_s),
                      again = server.url(u"/again?q=%text_encode%"_s);
        const QString open = QString::fromLatin1("\xC2\xBB"),
                      close = QString::fromLatin1("\xC2\xAB");
        SessionSettings = {};
        // Id, markers, address, Extra1, source, target, Extra2 and Extra3
        SessionSettings.Providers = {{0, u"[b]"_s, u"[/b]"_s, url, {}, u"1"_s, u"2"_s, {}, {}},
                                     {0, open, close, again, {}, u"1"_s, u"2"_s, {}, {}},
                                     {0, u"[b]"_s, u"[/b]"_s, url, {}, u"1"_s, u"3"_s, {}, {}}};
        SessionSettings.Languages = {
            {}, {u"en"_s, u"English"_s}, {u"de"_s, u"Deutsch"_s}, {u"fr"_s, u"Français"_s}};
        SessionSettings.BannerLink = server.url(u"/banner"_s);
        SessionSettings.UserId = u"42"_s;
    }

    void cleanup()
    {
        frmTranslateSplash::Unload();
        frmTranslateText::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // What a press sends: the provider's request, then the report of the first 20 characters; or
    // a box, and nothing at all. Rows named "copied" come through Translate Selection with no
    // selection to read (offscreen, as on Windows): the clipboard's text, cut before it reaches the
    // editor; a blank one translates nothing.
    void requests_data()
    {
        // sent: null: nothing; reported: empty: as sent
        columns<QString, int, int, QByteArray, QByteArray, QString>(
            {"text", "pair", "cap", "sent", "reported", "box"});
        const QString noText = u"Error 64 Please enter some text to translate."_s;
        dataRow("nothing", QString(), 0, 0, QByteArray(), ""_ba, noText);
        dataRow("non-breaking spaces", "\u00A0\u00A0 \u00A0", 0, 0, QByteArray(), ""_ba, noText);
        dataRow("no pair selected", "Hello", -1, 0, QByteArray(), ""_ba,
                u"Error 64 Please select languages."_s);
        dataRow("first 20 characters", "Hello, World! How are you today?", 0, 0,
                "Hello%2C%20World%21%20How%20are%20you%20today%3F"_ba,
                "Hello%2C%20World%21%20How%20ar"_ba, QString());
        dataRow("line breaks are text", "\n", 0, 0, "%0D%0A%0D%0A"_ba, ""_ba, QString());
        dataRow("21 characters lose the last in the report only", "abcdefghijklmnopqrstu", 0, 0,
                "abcdefghijklmnopqrstu"_ba, "abcdefghijklmnopqrst"_ba, QString());
        dataRow("cut between surrogate halves", QString(19, 'a') + "\U0001F600", 0, 0,
                QByteArray(19, 'a') + "%ED%A0%BD%ED%B8%80", QByteArray(19, 'a') + "%ED%A0%BD",
                QString());
        const auto cut = [](int cap) {
            return u"Lexorn 0 You are attemping to translate more than %1 bytes! This is not "
                   u"permitted."_s.arg(cap);
        };
        dataRow("limit shortens both", "abcdefghijklmnop", 0, 10, "abcdefghij"_ba, ""_ba, cut(10));
        dataRow("exactly the limit", "abcde", 0, 5, "abcde"_ba, ""_ba, QString());
        dataRow("limit counts units", "ééé", 0, 2, "%C3%A9%C3%A9"_ba, ""_ba, cut(2));
        dataRow("negative is no limit", "abcdefgh", 0, -1, "abcdefgh"_ba, ""_ba, QString());
        dataRow("copied text", "Hello", 0, 0, "Hello"_ba, ""_ba, QString());
        dataRow("copied white space", " \t\n\u00A0", 0, 0, QByteArray(), ""_ba, QString());
        dataRow("copied, over 32,766 units", QString(40000, u'a'), 0, 0, QByteArray(32766, 'a'),
                QByteArray(20, 'a'), cut(32766));
    }

    void requests()
    {
        auto [text, pair, cap, sent, reported, box] =
            current<QString, int, int, QByteArray, QByteArray, QString>();
        const bool copied = QByteArray(QTest::currentDataTag()).startsWith("copied");
        window().cboTranslate->setCurrentIndex(pair);
        SessionSettings.Cap = qint16(cap);
        // The box comes first: nothing may have been sent while the user reads it.
        boxes.onShow = [&](const auto &) {
            QVERIFY(server.requests.isEmpty());
            QVERIFY(!copied || window().dhtFrom->toPlainText().isEmpty());
        };
        if (copied) {
            QGuiApplication::clipboard()->setText(text);
            HotKeyIds = {0, 1};
            TranslateSelection();
            QVERIFY(window().isVisible());
        } else {
            press(text);
        }
        boxes.onShow = {};
        QCOMPARE(boxes.seen, box.isNull() ? QStringList() : QStringList{box});
        if (sent.isNull()) {
            QTest::qWait(100);
            QVERIFY2(server.requests.isEmpty(), "no translation and no report");
            return;
        }
        QTRY_COMPARE(server.requests.size(), 2);
        QCOMPARE(server.requests[0].target, "/t?s=en&d=de&q=" + sent);
        const LoopbackServer::Request &report = server.requests[1];
        // Caches between the program and the server are asked not to answer either.
        QCOMPARE(report.method + ' ' + report.target + ' ' + report.header("Content-Type") + ' ' +
                     report.header("Cache-Control") + ' ' + report.header("Pragma"),
                 "POST /banner application/x-www-form-urlencoded no-cache no-cache"_ba);
        QCOMPARE(report.body, "userid=42&src_lang=en&dest_lang=de&text=" +
                                  (reported.isEmpty() ? sent : reported));
    }

    // What comes back, as the result view shows it; the report follows all the same.
    void answers_data()
    {
        columns<QByteArray, QString>({"answer", "shown"});
        const QString unavailable = u"<< %1Translation unavailable >>"_s;
        dataRow("UTF-8 between the markers", "<p>[b]\x48\x61\x6C\x6C\xC3\xB6[/b]</p>"_ba, "Hallö");
        dataRow("empty answer", QByteArray(), unavailable.arg(1));
        dataRow("no answer: nothing listens", "refused"_ba, unavailable.arg(1));
        dataRow("failure text beats the markers", "[b]Hallo[/b] ERROR: Translation failed"_ba,
                unavailable.arg(2));
        dataRow("failure text is case-sensitive", "ERROR: translation failed [b]Hallo[/b]"_ba,
                "Hallo");
        dataRow("no end marker", "x[b]Hallo"_ba, unavailable.arg(3));
        dataRow("adjacent markers", "[b][/b]"_ba, unavailable.arg(3));
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
        QCOMPARE(server.requests[0].target, "/again?q=firs"_ba);
        QCOMPARE(window().dhtTo->toPlainText(), u"Hé"_s);

        providerAnswer.clear();
        press(u"two"_s);
        QCOMPARE(first.data(), &splash());
        QCOMPARE(first->SourceText, u"two"_s);
        QCOMPARE(window().dhtTo->toPlainText(), u"<< 1Translation unavailable >>"_s);
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
