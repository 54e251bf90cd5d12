#include "support/accessibility.h"
#include "support/desktopsession.h"
#include "support/loopbackserver.h"
#include "support/servicerunner.h"

#include <QFile>
#include <QRegularExpression>

// Translations with the real programs on a virtual desktop, as a person makes them: the
// keyboard and the mouse in, what the windows show (read through the accessibility tree) and
// what the service received out.
class tst_TranslationDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void roadOfOneTranslation();
    void serviceDownAtStart();
    void failingProvider();
    void failingBannerPage();
    void findATranslatorOpensTheBrowser();

private:
    std::optional<Accessible> topLevel(const QString &title) const;
    // Super+T, then the text typed into the source view and the pair picked from the list.
    bool translate(const QString &text, const QString &pair, bool press = true) const;
    std::optional<Accessible> find(const QString &role, const QString &name) const; // in it
    QString control(const QString &role, const QString &name) const; // its text, or its name
    void clickOn(const QString &role, const QString &name) const;
    QString bannerText() const; // empty while it is hidden
    int width(const QString &name) const { return find("panel", name)->rect.width(); }
    QString waitForResult() const;
    QList<QStringList> reports() const; // once there are any, as (user id, source, target, text)
    QString demoUserId() const;
    bool errorSaid(const QString &pattern, int timeoutMs) const; // then answered with Return

    DesktopSession desktop;
    AccessibilityBus bus{desktop};
    QProcess *lexorn = nullptr;
};

void tst_TranslationDesktop::initTestCase()
{
    QVERIFY2(desktop.start(), qPrintable(desktop.error()));
    QVERIFY2(bus.start(), qPrintable(bus.error()));
}

void tst_TranslationDesktop::cleanup()
{
    if (lexorn)
        DesktopSession::end(std::exchange(lexorn, nullptr));
    desktop.waitForNoWindow("^(Translate Text|Login|Error)$", 3000);
}

std::optional<Accessible> tst_TranslationDesktop::topLevel(const QString &title) const
{
    for (const Accessible &window : bus.application().children)
        if (window.name == title && window.showing)
            return window;
    return std::nullopt;
}

std::optional<Accessible> tst_TranslationDesktop::find(const QString &role,
                                                       const QString &name) const
{
    const std::optional<Accessible> window = topLevel("Translate Text");
    return window ? window->find(role, name) : std::nullopt;
}

QString tst_TranslationDesktop::control(const QString &role, const QString &name) const
{
    const std::optional<Accessible> found = find(role, name);
    return !found ? QString() : found->text.isEmpty() ? found->name : found->text;
}

void tst_TranslationDesktop::clickOn(const QString &role, const QString &name) const
{
    if (const std::optional<Accessible> found = find(role, name))
        desktop.click(found->rect.center().x(), found->rect.center().y());
}

bool tst_TranslationDesktop::translate(const QString &text, const QString &pair, bool press) const
{
    desktop.key("super+t");
    if (!DesktopSession::waitUntil([&] { return topLevel("Translate Text").has_value(); }))
        return false;
    desktop.activate(desktop.waitForWindow("^Translate Text$"));
    clickOn("text", "^Translation Options$");
    desktop.type(text);
    // The list opens on a click; typing an entry's beginning picks it, Return takes it. A
    // keyboard search that a busy machine cut in two picks another entry: then once more.
    const QString picked = QLatin1Char('^') + QRegularExpression::escape(pair) + QLatin1Char('$');
    for (int attempt = 0; attempt < 3 && control("combo box", picked).isEmpty(); ++attempt) {
        clickOn("combo box", {});
        QTest::qWait(300);
        desktop.type(pair);
        desktop.key("Return");
        DesktopSession::waitUntil([&] { return !control("combo box", picked).isEmpty(); }, 3000);
    }
    const bool ok =
        !control("combo box", picked).isEmpty() && control("text", "^Translation Options$") == text;
    if (ok && press)
        clickOn("push button", "^Translate$");
    return ok;
}

QString tst_TranslationDesktop::bannerText() const
{
    // The banner is the window's one unnamed label of its own.
    for (const Accessible &control : topLevel("Translate Text").value_or(Accessible()).children)
        if (control.role == QLatin1String("label") && control.name.isEmpty() && control.showing)
            return control.text;
    return {};
}

QString tst_TranslationDesktop::waitForResult() const
{
    QString result;
    DesktopSession::waitUntil(
        [&] { return !(result = control("text", "^Translated Text$")).isEmpty(); }, 60000);
    return result;
}

QList<QStringList> tst_TranslationDesktop::reports() const
{
    QByteArray output;
    QList<QStringList> found;
    DesktopSession::waitUntil([&] {
        return desktop.service()->run({"--list-reports"}, {}, &output) == 0 &&
               output.contains('\t');
    });
    for (const QString &line : QString::fromUtf8(output).split(QLatin1Char('\n')))
        if (const QStringList fields = line.trimmed().split(QLatin1Char('\t')); fields.size() == 5)
            found.append(fields.mid(1));
    return found;
}

QString tst_TranslationDesktop::demoUserId() const
{
    static const QRegularExpression userId("(?m)^about:\\tuserid\\t(\\S+)$");
    return userId
        .match(desktop.service()->settingsAnswer(DesktopSession::demoUser(),
                                                 DesktopSession::demoPassword()))
        .captured(1);
}

bool tst_TranslationDesktop::errorSaid(const QString &pattern, int timeoutMs) const
{
    const std::optional<Accessible> alert = bus.waitFor("alert", "^Error$", timeoutMs);
    desktop.activate(desktop.waitForWindow("^Error$"));
    desktop.key("Return");
    return alert && alert->find("label", pattern);
}

void tst_TranslationDesktop::roadOfOneTranslation()
{
    lexorn = desktop.startLexorn(desktop.startService(), {}, {}, bus.programEnvironment());
    QVERIFY(desktop.signIn("not-the-password"));
    // The service's own message, then the dialog again with what was typed.
    QVERIFY(errorSaid("^The e-mail address or the password is not correct\\.$", 15000));
    std::optional<Accessible> dialog;
    QVERIFY(DesktopSession::waitUntil([&] { return (dialog = topLevel("Login")).has_value(); }));
    QCOMPARE(dialog->find("text")->text, DesktopSession::demoUser());
    QVERIFY(desktop.trayIcon().id == 0); // not before the sign-in
    // The password box by its access key, the right password this time.
    desktop.activate(desktop.waitForWindow("^Login$"));
    desktop.xdotool({"key", "alt+p", "ctrl+a"});
    desktop.type(DesktopSession::demoPassword());
    desktop.key("Return");
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000));
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.splashes().isEmpty(); }, 8000));

    QVERIFY(translate("The house is red.", "English to Español"));
    QCOMPARE(waitForResult().trimmed(), "La casa es roja.");
    // The banner shows the service's answer to the report, and the service stored it.
    QVERIFY(DesktopSession::waitUntil(
        [&] { return bannerText().contains("English to Español by Apertium."); }));
    desktop.screenshot("road-translated");
    QCOMPARE(reports(), (QList<QStringList>{{demoUserId(), "en", "es", "The house is red."}}));
}

void tst_TranslationDesktop::serviceDownAtStart()
{
    // Nothing listens on a privileged port here.
    lexorn = desktop.startLexorn("127.0.0.1:1", DesktopSession::demoUser(),
                                 DesktopSession::demoPassword(), bus.programEnvironment());
    // The transport's own reason on the third line, after an empty one.
    QVERIFY(errorSaid("^Cannot get settings!\\n\\n[^\\n]*\\S[^\\n]*$", 20000));
    QVERIFY(DesktopSession::waitUntil([this] { return lexorn->state() == QProcess::NotRunning; }));
    QCOMPARE(lexorn->exitStatus(), QProcess::NormalExit);
    QCOMPARE(lexorn->exitCode(), 1);
}

void tst_TranslationDesktop::failingProvider()
{
    LoopbackServer provider;
    provider.answerWith(200, "<html><body>ERROR: Translation failed</body></html>");
    const QString section = "provider failing";
    desktop.startService({{"languages", "3 = fr, French"},
                          {section, "source = en"},
                          {section, "target = fr"},
                          {section, "template = " + provider.url("/t?q=%text_encode%")},
                          {section, "result_start = <div>"},
                          {section, "result_end = </div>"}});
    QVERIFY(lexorn = desktop.startSignedIn(bus.programEnvironment()));
    QVERIFY(translate("Good morning", "English to French"));
    QCOMPARE(waitForResult(), "<< 2Translation unavailable >>");
    desktop.screenshot("provider-failed");
    QCOMPARE(provider.requests.size(), 1);
    // The report is made all the same.
    QCOMPARE(reports().value(0).mid(1), (QStringList{"en", "fr", "Good morning"}));
}

void tst_TranslationDesktop::failingBannerPage()
{
    LoopbackServer banner;
    banner.answerWith(500, "<p>Out of order</p>");
    desktop.startService({{"links", "banner = " + banner.url("/banner.php")}});
    QVERIFY(lexorn = desktop.startSignedIn(bus.programEnvironment()));
    QVERIFY(translate("Hello", "English to Español", false));
    // The welcome page in the banner column at first.
    QVERIFY(DesktopSession::waitUntil([&] { return bannerText().contains("Welcome to Lexorn!"); }));
    const int before = width("^Translated Text$");
    clickOn("push button", "^Translate$");
    QVERIFY(!waitForResult().isEmpty());

    // The post reached the banner page, which failed: its column goes to the frames.
    QVERIFY(DesktopSession::waitUntil([&] { return !banner.requests.isEmpty(); }));
    QCOMPARE(banner.requests.first().method, QByteArray("POST"));
    QVERIFY2(banner.requests.first().body.startsWith("userid=" + demoUserId().toUtf8() +
                                                     "&src_lang=en&dest_lang=es&text=Hello"),
             banner.requests.first().body.constData());
    QVERIFY(DesktopSession::waitUntil(
        [&] { return find("panel", "^Translated Text$") && bannerText().isEmpty(); }));
    QCOMPARE(width("^Translated Text$") - before, (2175 + 120) / 15);
    QCOMPARE(width("^Translation Options$"), width("^Translated Text$"));
    desktop.screenshot("banner-failed");
}

void tst_TranslationDesktop::findATranslatorOpensTheBrowser()
{
    // The desktop's default handler, as Qt finds it: the first xdg-open on the PATH.
    QTemporaryDir stubs;
    QFile opener(stubs.filePath("xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$*\" >> \"$0.opened\"\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
    desktop.startService();
    QProcessEnvironment environment = bus.programEnvironment();
    environment.insert("PATH", stubs.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
    QVERIFY(lexorn = desktop.startSignedIn(environment));
    QVERIFY(translate("Hola", "Español to English", false));
    clickOn("push button", "^Find a Translator$");
    const QString opened = opener.fileName() + ".opened";
    QVERIFY(DesktopSession::waitUntil([&] { return QFile::exists(opened); }, 5000));
    QCOMPARE(QString::fromUtf8(desktop.run("cat", {opened})).trimmed(),
             desktop.service()
                 ->url("/lexorn/findtran.php?userid=" + demoUserId() + "&src_lang=es&trg_lang=en")
                 .toString());
}

LEXORN_DESKTOP_TEST_MAIN(tst_TranslationDesktop)
#include "tst_translationdesktop.moc"
