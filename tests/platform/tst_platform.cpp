// The platform layer as the program uses it: the web views and transfers, also when a server
// misbehaves, the HTML editor's read-back and the settings store.
#include "platform/dhtmledit.h"
#include "platform/messagebox.h"
#include "platform/network.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "platform/webbrowser.h"
#include "startup/modmain.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QAccessible>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

using namespace platform;
using Fault = LoopbackServer::Fault;

using Answer = LoopbackServer::Answer;
using Request = LoopbackServer::Request;

#ifdef Q_OS_WIN
// Wine's loopback reads tens of megabytes past a cap before the abort lands, and slowly: the caps
// are measured where the sockets are the system's own.
constexpr char LoopbackUnderWine[] = "the caps are measured on Linux";
#endif

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

const QUrl LocalPicture(QStringLiteral(LEXORN_SOURCE_DIR "/src/resources/lexorn-32.png"));

class tst_Platform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        auto [status, type, body, shown] = current<int, QByteArray, QByteArray, QString>();
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

    void cancelsThePreviousOpensLinksOutside()
    {
        View view;
        // Only the web and mail reach the browser.
        view.server.answerWith({200,
                                "<a href=\"more.html?x=1\">more</a> <a href=\"file:///etc\">f</a> "
                                "<a href=\"lexorn:x\">c</a> <a href=\"mailto:a@b.ex\">m</a>"});
        Recorder browsers;
        view.browser.show();
        QVERIFY(QTest::qWaitForWindowActive(&view.browser));
        auto hanging = std::make_unique<LoopbackServer>();
        hanging->answerWith(Fault::Hang);
        view.browser.Navigate2(hanging->url("/first"));
        QTRY_COMPARE(hanging->requests.size(), 1);
        view.browser.Navigate2(view.server.url("/pages/welcome.html"));
        QTRY_COMPARE(view.reports.size(), 1);
        hanging.reset(); // the first answer breaks off after its navigation is over

        for (int link = 0; link < 4; ++link) {
            QTest::keyClick(&view.browser, Qt::Key_Tab);
            QTest::keyClick(&view.browser, Qt::Key_Return);
        }
        QCOMPARE(browsers.opened,
                 QStringList({view.server.url("/pages/more.html?x=1"), "mailto:a@b.ex"}));
        QTest::qWait(50);
        QCOMPARE(view.server.requests.size(), 1); // the link is not followed here
        QCOMPARE(view.reports, QStringList{view.server.url("/pages/welcome.html")});
    }

    // What a server names is opened only when it is the web or mail, and exactly as it came.
    void opensOnlyWebAddresses_data()
    {
        columns<QString, bool>({"address", "opened"});
        for (const char *web :
             {"http://h.example/t?d=%dest_lang%&u=a b", "HTTPS://u@[::1]:8642/", "mailto:a@b.ex"})
            QTest::newRow(web) << QString(web) << true;
        for (const char *other :
             {"", "C:\\Windows\\System32\\calc.exe", "\\\\host\\share\\x.exe", "file:///C:/x.exe",
              "smb://host/share/x.exe", "ms-settings:privacy", "https://:8642/",
              "http://\\\\host\\share", "http://h.example/\nx"})
            QTest::newRow(*other ? other : "empty") << QString(other) << false;
    }

    void opensOnlyWebAddresses()
    {
        auto [address, opened] = current<QString, bool>();
        Recorder browser;
        if (!opened)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Lexorn opens only web"));
        ShellExecute(address);
        QCOMPARE(browser.opened, opened ? QStringList{address} : QStringList{});
    }

    // BROWSER's commands in turn, each split as a shell splits it, then xdg-open: what the program
    // that started was given (recorders on PATH stand for the browsers).
    void browserCommands_data()
    {
        columns<QString, QString, QStringList>({"browser", "address", "started"});
        const QString web = "http://h.example/?q=%s%25", mail = "mailto:a@b.ex";
        dataRow("single quotes", "recorder '%s'", web, QStringList{"recorder", web});
        dataRow("%s before another argument", "recorder %s --new-tab", web,
                QStringList{"recorder", web, "--new-tab"});
        dataRow("double quotes, backslashes", "recorder \"a \\\"b\\\"\" c\\ d \"<%s>\"", web,
                QStringList{"recorder", "a \"b\"", "c d", "<" + web + ">"});
        dataRow("without %s, %% a percent sign", "recorder 100%%", web,
                QStringList{"recorder", "100%", web});
        dataRow("the first that starts", "no-such-browser:recorder", web,
                QStringList{"recorder", web});
        dataRow("an open quote starts nothing", "recorder 'x", web, QStringList{"xdg-open", web});
        dataRow("mail to xdg-open only", "recorder %s", mail, QStringList{"xdg-open", mail});
    }

    void browserCommands()
    {
        auto [browser, address, started] = current<QString, QString, QStringList>();
#ifdef Q_OS_WIN
        QSKIP("Windows opens addresses with ShellExecuteW");
#endif
        QTemporaryDir bin;
        for (const char *name : {"recorder", "xdg-open"}) {
            QFile script(bin.filePath(name));
            QVERIFY(script.open(QIODevice::WriteOnly) &&
                    script.write("#!/bin/sh\nprintf '%s\\n' \"${0##*/}\" \"$@\" > \"$0.log\" && "
                                 "mv \"$0.log\" \"${0%/*}/started\"\n"));
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ':' + path);
        qputenv("BROWSER", browser.toUtf8());
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            qunsetenv("BROWSER");
        });
        ShellExecute(address);
        QFile log(bin.filePath("started")); // whole once it is there
        QTRY_VERIFY(log.exists());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts), started);
    }

    // What the user sees when a server misbehaves: the settings download and the banner page each
    // meet every fault, and each must end in its defined outcome.
    void settingsAndBanner_data()
    {
        // fault: None: nothing listens
        columns<Fault, QString>({"fault", "description"});
        dataRow("connection refused", Fault::None, QString());
        dataRow("closed in the body", Fault::CloseMidBody, QString());
        dataRow("never answers", Fault::Hang, QString("did not finish within"));
        dataRow("one byte a second", Fault::OneBytePerSecond, QString("did not finish within"));
        dataRow("200 MB body", Fault::EndlessBody, QString("larger than 16 MiB"));
        dataRow("200 MB announced", Fault::AnnouncedBody, QString("larger than 16 MiB"));
        dataRow("redirect loop", Fault::RedirectLoop, QString());
    }

    void settingsAndBanner()
    {
        auto [fault, description] = current<Fault, QString>();
#ifdef Q_OS_WIN
        if (fault == Fault::EndlessBody || fault == Fault::AnnouncedBody)
            QSKIP(LoopbackUnderWine);
#endif
        LoopbackServer server;
        server.answerWith(fault);
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
        Recorder boxes;
        QCOMPARE(endingOf(&LoadSettings), 1);
        const QString prompt = boxes.seen.join('|');
        QVERIFY2(prompt.startsWith("Error 16 Cannot get settings!\n\n") && prompt.size() > 31 &&
                     prompt.contains(description) && !prompt.contains(password),
                 qPrintable(prompt));
        QCOMPARE(server.redirectsFollowed, fault == Fault::RedirectLoop ? 5 : 0);

        WebBrowser *banner = frmTranslateText::instance().webBanner;
        banner->SetVisible(true);
        banner->Navigate2(address("/welcome.php"));
        QTRY_VERIFY_WITH_TIMEOUT(!banner->Visible(), 20000);
        // Neither reads much past the cap: what the sockets buffer on loopback beside it.
        QVERIFY(server.bodyBytesSent < 2 * 3 * MaxBodyBytes);
    }

    // A provider's result and a page of the service name a local picture and style sheet and
    // one of the program's own pictures: neither view reads them, it looks as if none existed.
    void viewsReadNothingLocal()
    {
        QTemporaryDir folder;
        QFile sheet(folder.filePath("marker.css"));
        QVERIFY(sheet.open(QIODevice::WriteOnly) &&
                sheet.write("body { background-color: #00ff00 }"));
        sheet.close();
        View view;
        DHTMLEdit result;
        const auto look = [&](const QString &css, const QString &picture, const QString &own) {
            const QString html = QString("<html><head><link rel=\"stylesheet\" type=\"text/css\" "
                                         "href=\"%1\"></head><body><img src=\"%2\"><img "
                                         "src=\"%3\">read</body></html>")
                                     .arg(css, picture, own);
            view.server.answerWith({200, html.toUtf8()});
            view.reports.clear();
            view.browser.Navigate2(view.server.url("/"));
            result.setDocumentHTML(html);
            (void)QTest::qWaitFor([&] { return !view.reports.isEmpty(); });
            return QList<QImage>{view.browser.viewport()->grab().toImage(),
                                 result.viewport()->grab().toImage()};
        };
        const QList<QImage> named =
            look(QUrl::fromLocalFile(sheet.fileName()).toString(), "file://" + LocalPicture.path(),
                 "qrc:/icons/lexorn-32.png");
        QCOMPARE(named, look("file:///none.css", "file:///none.png", "qrc:/icons/none.png"));
    }

    // The pictures of a page share one size cap, and one memory budget once decoded.
    void picturesOfOnePageShareTheirLimits()
    {
#ifdef Q_OS_WIN
        QSKIP(LoopbackUnderWine);
#endif
        // A plain 2000 x 2000 picture: a few kilobytes of PNG, 16 MB once decoded.
        QImage picture(2000, 2000, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QByteArray png, endlessPage, largePage;
        QBuffer file(&png);
        QVERIFY(file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG"));
        LoopbackServer endless, server;
        endless.answerWith(Fault::EndlessBody);
        const auto large = [&](int i) {
            return QUrl(server.url(QStringLiteral("/%1.png").arg(i)));
        };
        for (int i = 0; i < 24; ++i) {
            endlessPage +=
                "<img src=\"" + endless.url(QStringLiteral("/%1.png").arg(i)).toLatin1() + "\">";
            largePage += i < 12 ? "<img src=\"" + large(i).toEncoded() + "\">" : QByteArray();
        }
        server.setHandler([&](const Request &request) {
            if (request.target.endsWith(".png"))
                return Answer{200, png, "image/png"};
            return Answer{200, request.target == "/large" ? largePage : endlessPage};
        });
        WebBrowser browser;
        browser.show();
        browser.Navigate2(server.url("/endless"));
        QTRY_COMPARE_WITH_TIMEOUT(endless.requests.size(), 24, 20000);
        // Slow under the sanitizers: seen to take two minutes there.
        QTRY_COMPARE_WITH_TIMEOUT(endless.openConnections, 0, 240000);
        // One cap for them all, and what the sockets buffered on loopback beside it; a cap for
        // each would let 24 times the cap through.
        QVERIFY2(endless.bodyBytesSent < 8 * MaxBodyBytes,
                 qPrintable(QString::number(endless.bodyBytesSent)));

        browser.Navigate2(server.url("/large"));
        QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 14, 20000);
        const auto decoded = [&] {
            int n = 0;
            for (int i = 0; i < 12; ++i)
                n += browser.loadResource(QTextDocument::ImageResource, large(i)).isValid();
            return n;
        };
        // 64 MiB hold four of them; the other eight are never decoded.
        QTRY_COMPARE_WITH_TIMEOUT(decoded(), 4, 20000);
        QTest::qWait(200);
        QCOMPARE(decoded(), 4);
    }

    void setDocumentReadsBack_data()
    {
        // readBack: null: the document itself
        columns<QString, QString>({"document", "readBack"});
        const QString head = "<html><head></head><body>", tail = "</body></html>";
        const auto row = [&](const char *name, const QString &body, const QString &back = {}) {
            dataRow(name, head + body + tail, back.isNull() ? QString() : head + back + tail);
        };
        row("paragraphs", "<p>one</p><p>two</p>");
        row("line break", "one<br>two");
        row("references", "&amp; &lt; &gt; &nbsp; &quot; &#233;", "&amp; &lt; &gt; &nbsp; \" é");
        row("inline formatting", "<b>bold</b> <i>it</i> <u>under</u> <b><i>both</i></b>");
        row("other markup dropped",
            "<span style=\"color:red\">red</span> <a href=\"x\">link</a><img src=\"y\">",
            "red link");
        row("a local picture", "<img src=\"" + LocalPicture.toString() + "\">", "");
        row("less-than signs that open no tag", "<< 2Translation unavailable >> 1<2 a < b<",
            "&lt;&lt; 2Translation unavailable &gt;&gt; 1&lt;2 a &lt; b&lt;");
        dataRow("head of the document set",
                QString(frmTranslateText::EmptyDocument).replace("<body>", "<body>Bonjour"),
                QString());
        dataRow("body attributes", "<HTML><BODY bgcolor=\"white\">x</BODY></HTML>", QString());
        dataRow("fragment", "plain <b>x</b>", "<html><body>plain <b>x</b></body></html>");
    }

    // A service's message, tags and all, as a person reads it from the box.
    void boxShowsItsTextAsSent()
    {
        QString read;
        QTimer::singleShot(0, [&read] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                read = QAccessible::queryAccessibleInterface(
                           box->findChild<QLabel *>("qt_msgbox_label"))
                           ->text(QAccessible::Name);
                box->accept();
            }
        });
        MsgBox("<b>Wrong</b> & right", vbCritical, "Error");
        QCOMPARE(read, "<b>Wrong</b> & right");
    }

    // Read back as the translation engine reads it.
    void setDocumentReadsBack()
    {
        auto [document, readBack] = current<QString, QString>();
        DHTMLEdit edit;
        edit.setDocumentHTML(document);
        QCOMPARE(edit.DocumentHTML(), readBack.isNull() ? document : readBack);
    }

    // Private when made, and narrowed by the next write or by the first read of a file made
    // elsewhere (copied from another machine, say) that the program only reads.
    void settingsFileIsPrivate_data()
    {
        columns<QString>({"made"});
        dataRow("by the program", QString("new"));
        dataRow("elsewhere, then written", QString("written"));
        dataRow("elsewhere, then read", QString("read"));
    }

    void settingsFileIsPrivate()
    {
        auto [made] = current<QString>();
#ifdef Q_OS_WIN
        QSKIP("Windows keeps the settings in the user's own registry hive");
#endif
        const QString path = SettingsLocation("Lexorn");
        QFile::remove(path);
        SaveSetting("Lexorn", "Login", "Password", "s3cret value");
        if (made != "new")
            QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther |
                                                    QFile::ReadGroup | QFile::WriteGroup));
        if (made == "written")
            SaveSetting("Lexorn", "Login", "Password", "s3cret value");
        if (made == "read")
            QCOMPARE(GetSetting("Lexorn", "Login", "Password"), "s3cret value");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("Password=s3cret value"));
        QCOMPARE(file.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
    }
};

LEXORN_TEST_MAIN(tst_Platform)
#include "tst_platform.moc"
