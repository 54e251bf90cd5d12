// The settings download: what the program sends, and what each answer leads to: the session's
// records, or the message the user sees and the exit status.
#include "platform/identity.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "session/sessionsettings.h"
#include "startup/commandline.h"
#include "startup/frmlogin.h"
#include "startup/modmain.h"
#include "startup/settingsanswer.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace platform;

class tst_Startup : public QObject
{
    Q_OBJECT

    LoopbackServer server;

private Q_SLOTS:
    void init()
    {
        qputenv("LEXORN_SERVICE_HOST", QUrl(server.url("/")).authority().toLatin1());
        // The ampersand splits the user name into an extra parameter on the service's side.
        storeCredentials("tom&jerry@example.com", "p w");
        SessionSettings = SessionSettingsRecord{};
        server.requests.clear();
    }

    void cleanup() { frmLogin::Unload(); }

    void login_data()
    {
        // stored: empty: refused
        columns<QString, QString, bool, QString>({"user", "password", "escape", "stored"});
        dataRow("padded", "  me@example.com ", " pw ", false, QString("me@example.com|pw"));
        dataRow("tab kept", "\tme", "pw", false, QString("\tme|pw"));
        dataRow("spaces only user", "   ", "pw", false, QString());
        dataRow("empty password", "me", "", false, QString());
        dataRow("Escape ends the program", "me", "pw", true, QString());
    }

    void login()
    {
        auto [user, password, escape, stored] = current<QString, QString, bool, QString>();
        Recorder boxes;
        storeCredentials("<none>", "<none>"); // the dialog as start-up shows it with nothing stored
        frmLogin &dialog = frmLogin::instance();
        dialog.show();
        // The sign-up link looks like one under the pointer, and opens the service's page.
        QLabel *link = dialog.lblSignup;
        const QColor normal = link->palette().color(QPalette::WindowText);
        QTest::mouseMove(link, link->rect().center());
        QVERIFY(link->palette().color(QPalette::WindowText) == QColor(0, 0, 255) &&
                link->font().underline() && link->cursor().shape() == Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(link, &leave);
        QVERIFY(link->palette().color(QPalette::WindowText) == normal && !link->font().underline());
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(boxes.opened, QStringList{"http://" + ServiceHost() + "/lexorn/signup.php"});
        dialog.txtUserName->setText(user);
        dialog.txtPassword->setText(password);
        QCOMPARE(endingOf([&] {
                     escape ? QTest::keyClick(dialog.txtUserName, Qt::Key_Escape)
                            : QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
                 }),
                 escape ? 0 : -1);
        QCOMPARE(dialog.isHidden(), escape || !stored.isEmpty());
        QCOMPARE(GetSetting(AppTitle(), "Login", "Username") + '|' +
                     GetSetting(AppTitle(), "Login", "Password"),
                 stored.isEmpty() ? "<none>|<none>" : stored);
        QCOMPARE(boxes.seen,
                 escape || !stored.isEmpty()
                     ? QStringList()
                     : QStringList{"Error 64 You must enter a valid username and password."});
    }

    // Qt's own arguments go through to Qt; anything else is refused with status 2 (-1: it runs).
    // What a Lexorn that runs already is asked for; a session manager's restore asks nothing.
    void commandLine_data()
    {
        columns<QString, int, QString>({"arguments", "status", "request"});
        dataRow("a session manager's restore", "-session 10a2b3c", -1, "");
        dataRow("a restore told to show", "-session 10a2b3c --show", -1, "show");
        dataRow("the selection", "--selection -sync", -1, "selection");
        dataRow("Qt's with values", "-name n -display :1 -stylesheet a.qss -geometry 9x9+1+1", -1,
                "show");
        dataRow("Qt's flags, a value after =", "-reverse -nograb -sync -widgetcount -style=x", -1,
                "show");
        dataRow("unknown option", "--colour", 2, "");
        dataRow("Qt's without its value", "-qwindowtitle", 2, "");
        dataRow("a word", "translate", 2, "");
    }

    void commandLine()
    {
        auto [arguments, status, request] = current<QString, int, QString>();
        QList<QByteArray> words = ("lexorn " + arguments).toLocal8Bit().split(' ');
        QList<char *> argv;
        for (QByteArray &word : words)
            argv.append(word.data());
        QByteArray asked = "unset";
        QCOMPARE(answerCommandLine(int(argv.size()), argv.data(), asked).value_or(-1), status);
        QCOMPARE(asked, request.toLatin1());
    }

    // "loaded USERID", or the exit status and the box shown.
    void answers_data()
    {
        columns<int, QByteArray, QString>({"status", "answer", "outcome"});
        const QString invalid = "1 Error 16 Invalid settings!",
                      cannot = "1 Error 16 Cannot get settings!";
        const auto row = [](const char *name, int status, const QByteArray &answer,
                            const QString &outcome) { dataRow(name, status, answer, outcome); };
        const QByteArray en = "valid:\nlanguage:\t1\ten\tEnglish\n";
        row("valid alone", 200, "valid:", "loaded  ");
        row("valid with text", 200, "valid:\tWelcome\nabout:\tuserid\t42", "loaded 42 ");
        row("Latin-1 bytes one unit each", 200, "valid:\nabout:\tuserid\t\xe9\xff", "loaded éÿ ");
        row("empty", 200, "", invalid);
        row("404 text anywhere", 200, "valid:\nlink:\tbanner\t404 Not Found", cannot);
        row("other error page", 500, "<h1>500 Internal Server Error</h1>", invalid);
        row("fatal error", 200, "error:\tfatal\tDisabled.\nvalid:", "1 Error 16 Disabled.");
        row("unknown error kind", 200, "error:\tbusy\tTry later.", invalid);
        row("login error: the sign-in again", 200, "error:\tlogin\tNo such user.",
            "-1 Error 64 No such user.");
        row("login error without message", 200, "error:\tlogin", invalid);
        row("error without tab", 200, "error:login\tx", invalid);
        row("status case differs", 200, "Valid:", invalid);
        row("version accepted", 200, "valid:\nabout:\tversion\t1.0.1", "loaded  ");
        row("version mismatch", 200, "valid:\nabout:\tversion\t1.0.2",
            "1 Error 16 Data Version mismatch [1.0.2]");
        row("CR LF fails the version", 200, "valid:\r\nabout:\tversion\t1.0.1\r\n",
            "1 Error 16 Data Version mismatch [1.0.1\r]");
        row("about too short", 200, "valid:\nabout:\tuserid", invalid);
        row("link too short", 200, "valid:\nlink:\tbanner", invalid);
        row("language too short", 200, "valid:\nlanguage:\t1\ten", invalid);
        row("level not decimal", 200, "valid:\nabout:\tlevel\t1e3", invalid);
        row("level with plus", 200, "valid:\nabout:\tlevel\t+1", invalid);
        row("level empty", 200, "valid:\nabout:\tlevel\t", invalid);
        row("level 32-bit max", 200, "valid:\nabout:\tlevel\t2147483647", "loaded  ");
        row("level beyond 32 bits", 200, "valid:\nabout:\tlevel\t2147483648", invalid);
        row("level of many digits", 200, "valid:\nabout:\tlevel\t99999999999999999999", invalid);
        row("cap 16-bit min", 200, "valid:\nabout:\tcap\t-32768", "loaded  ");
        row("cap beyond 16 bits", 200, "valid:\nabout:\tcap\t32768", invalid);
        row("cap with CR", 200, "valid:\nabout:\tcap\t5\r", invalid);
        row("language index beyond slots", 200, "valid:\nlanguage:\t2\ten\tEnglish", invalid);
        row("negative language index", 200, "valid:\nlanguage:\t-1\ten\tEnglish", invalid);
        // Providers: fields 7 to 9 may be missing; indexes must name a filled slot in the end.
        row("provider of six fields", 200, en + "translation_url:\t1\t1\t1\t[\t]\tu",
            "loaded  ,en");
        row("provider too short", 200, en + "translation_url:\t1\t1\t1\t[\t]", invalid);
        row("provider id not decimal", 200, en + "translation_url:\tx\t1\t1\t[\t]\tu", invalid);
        row("provider index no number", 200, en + "translation_url:\t1\tone\t1\t[\t]\tu", invalid);
        row("provider of an unfilled slot", 200,
            en + "language:\t1\tfr\tFrench\ntranslation_url:\t1\t1\t2\t[\t]\tu", invalid);
        row("provider of slot 0 unfilled", 200, en + "translation_url:\t1\t0\t1\t[\t]\tu", invalid);
        row("provider before its language", 200,
            en + "translation_url:\t1\t1\t2\t[\t]\tu\nlanguage:\t2\tfr\tFrench", "loaded  ,en,fr");
        // Language slots: 0 exists unfilled, a later line for an index replaces the earlier.
        row("indexes 1 2 3", 200,
            "valid:\nlanguage:\t1\ta\tA\nlanguage:\t2\tb\tB\nlanguage:\t3\tc\tC", "loaded  ,a,b,c");
        row("index 1 twice", 200, "valid:\nlanguage:\t1\ta\tA\nlanguage:\t1\tb\tB", "loaded  ,b,");
        row("index 0 filled", 200, "valid:\nlanguage:\t0\tz\tZ", "loaded  z,");
    }

    void answers()
    {
        auto [status, answer, outcome] = current<int, QByteArray, QString>();
        server.answerWith({status, answer});
        Recorder boxes;
        // A login dialog that should not come is left at once rather than waited on.
        boxes.onShow = [](auto &) { QTimer::singleShot(0, &frmLogin::instance(), &QWidget::hide); };
        bool loaded = false;
        const int ending = endingOf([&loaded] { loaded = LoadSettings(); });
        QStringList codes;
        for (const Language &language : std::as_const(SessionSettings.Languages))
            codes += language.Code;
        QCOMPARE(loaded ? "loaded " + SessionSettings.UserId + ' ' + codes.join(',')
                        : QString::number(ending) + ' ' + boxes.seen.join('|'),
                 outcome);
        QCOMPARE(server.requests.value(0).target, "/lexorn/settings.php?version=1.0.1&username=tom&"
                                                  "jerry@example.com&password=p%20w");
        QVERIFY(!loaded || boxes.seen.isEmpty());
    }

    // Start-up asks for the sign-in when half of it is stored, then leaves the window hidden, its
    // banner on the welcome page for level 0 or out of the way, and the progress window on the
    // translating page.
    void startUp_data()
    {
        columns<int, QStringList, bool, QString>({"level", "links", "banner", "stored"});
        dataRow("level 0 with a welcome page", 0, QStringList{"welcome", "translating"}, true,
                "me|pw");
        dataRow("level 1", 1, QStringList{"welcome"}, false, "me|pw");
        dataRow("no welcome page", 0, QStringList(), false, "me|pw");
        dataRow("no password stored", 1, QStringList(), false, "me|");
        dataRow("no user name stored", 1, QStringList(), false, "|pw");
    }

    void startUp()
    {
        auto [level, links, banner, stored] = current<int, QStringList, bool, QString>();
        storeCredentials(stored.section('|', 0, 0), stored.section('|', 1));
        bool asked = false;
        QTimer::singleShot(0, [&asked] {
            if ((asked = frmLogin::exists() && frmLogin::instance().isVisible()))
                frmLogin::instance().hide();
        });
        QByteArray settings = "valid:\nabout:\tlevel\t" + QByteArray::number(level) + "\n";
        for (const QString &link : links)
            settings += "link:\t" + link.toUtf8() + "\t" + server.url('/' + link).toUtf8() + "\n";
        server.setHandler([&settings](const LoopbackServer::Request &request) {
            return LoopbackServer::Answer{200, request.target.contains("settings") ? settings : ""};
        });
        Main();
        QCOMPARE(asked, stored.startsWith('|') || stored.endsWith('|'));
        QCOMPARE(frmTranslateText::instance().webBanner->Visible(), banner);
        QTest::qWait(100);
        QStringList targets;
        for (const LoopbackServer::Request &request : std::as_const(server.requests))
            targets.append(request.method + ' ' + request.target + ' ' +
                           request.header("Content-Type"));
        const QStringList pages{"GET /translating ",
                                "GET /welcome application/x-www-form-urlencoded"};
        targets.sort(); // the two pages load side by side
        QCOMPARE(targets.mid(1), banner ? pages : QStringList());
    }
    // Every field where it belongs; unknown lines ignored, a later line for a key replacing the
    // earlier, and the lines before a version mismatch applied but not those after it.
    void records()
    {
        const QString answer = QString::fromLatin1(
            "valid:\tok\n# comment\n\nabout:\tuserid\t41\nabout:\tlevel\t-3\n"
            "about:\tcap\t500\nabout:\tcolour\tblue\nlink:\ttranslating\th/t\n"
            "link:\tbanner\th/b\nlink:\twelcome\th/w\nlink:\tfindtran\th/f?u=%userid%\n"
            "link:\tother\th/o\nlink: banner\tnot-a-link\nprovider:\tignored\tx\n"
            "language:\t1\ten\tEnglish\nlanguage:\t2\tfr\tFran\xe7"
            "ais\nlanguages:\t3\tde\tGerman\n"
            "translation_url:\t7\t1\t2\t<b>\t</b>\tp?q\te1\te2\te3\tx\n"
            "translation_url:\t8\t2\t1\t[\t]\tp2\tonly-extra1\n"
            "translation_urls:\t9\t1\t1\t[\t]\tno\nabout:\tuserid\t42\n"
            "about:\tversion\t2.0\nabout:\tuserid\tafter");
        SessionSettingsRecord settings;
        settings.Providers.append(Provider{}); // a load starts from empty tables
        QCOMPARE(ApplySettingsAnswer(answer, settings).kind, SettingsVerdict::VersionMismatch);
        QString fields =
            QStringList({settings.UserId, QString::number(settings.Level),
                         QString::number(settings.Cap), settings.TranslatingLink,
                         settings.BannerLink, settings.WelcomeLink, settings.FindTranLink})
                .join(' ');
        for (const Language &language : std::as_const(settings.Languages))
            fields += ' ' + language.Code + '=' + language.Name;
        for (const Provider &p : std::as_const(settings.Providers))
            fields += ' ' + QStringList({QString::number(p.Id), p.SourceLanguage, p.TargetLanguage,
                                         p.ResultStart, p.ResultEnd, p.UrlTemplate, p.Extra1,
                                         p.Extra2, p.Extra3})
                                .join(',');
        QCOMPARE(fields, "42 -3 500 h/t h/b h/w h/f?u=%userid% = en=English fr=Français "
                         "7,1,2,<b>,</b>,p?q,e1,e2,e3 8,2,1,[,],p2,only-extra1,,");
    }
};

LEXORN_TEST_MAIN(tst_Startup)
#include "tst_startup.moc"
