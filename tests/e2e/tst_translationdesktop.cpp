#include "support/accessibility.h"
#include "support/desktopsession.h"
#include "support/httpcall.h"
#include "support/loopbackserver.h"
#include "support/servicerunner.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>

#include <memory>

// Whole translations with the real programs on a virtual desktop, as a person makes them: the
// keyboard and the mouse in, what the windows show (read through the accessibility tree or the
// clipboard) and what the service received out.
class tst_TranslationDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void roadOfOneTranslation();
    void wrongPasswordThenSignedIn();
    void serviceDownAtStart();
    void failingProvider();
    void failingBannerPage();
    void findATranslatorOpensTheBrowser();

private:
    // The demo configuration with quick password hashing and the lines given, as
    // (section, line) pairs.
    bool startService(const QList<QPair<QString, QString>> &lines = {});
    QProcess *startLexorn(const QString &userName, const QString &password,
                          const QProcessEnvironment &extra = {});
    // Started with the demo account stored; waits until the icon sits in the tray, splash gone.
    QProcess *startSignedIn(const QProcessEnvironment &extra = {});
    QList<qulonglong> splashes() const;
    // Super+T, and the window's tree once it shows.
    std::optional<Accessible> openTranslateWindow() const;
    std::optional<Accessible> translateWindow() const;
    // What the banner view shows; empty while it is hidden.
    static QString bannerText(const Accessible &window);
    void clickOn(const Accessible &control) const;
    // Types into the source view and picks the pair from the list, as a person would.
    bool enterTextAndPair(const QString &text, const QString &pair) const;
    bool pressTranslate() const;
    // The result view's text once it is not empty.
    QString waitForResult() const;
    // The reports that the service stored, as (user id, source, target, text).
    QList<QStringList> reports() const;
    QString demoUserId() const;
    bool answerAlert(const QString &title, const QString &key) const;

    DesktopSession desktop;
    AccessibilityBus bus{desktop};
    std::unique_ptr<ServiceRunner> service;
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
        DesktopSession::end(lexorn);
    lexorn = nullptr;
    service.reset();
    desktop.waitForNoWindow(QStringLiteral("^(Translate Text|Login|Error)$"), 3000);
}

bool tst_TranslationDesktop::startService(const QList<QPair<QString, QString>> &lines)
{
    QString config = ServiceRunner::demoConfig();
    config.replace(QStringLiteral("password_iterations = 100000"),
                   QStringLiteral("password_iterations = 1000"));
    for (const auto &[section, line] : lines)
        config = ServiceRunner::withLine(config, section, line);
    service = std::make_unique<ServiceRunner>(config);
    QString error;
    if (!service->start(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

QProcess *tst_TranslationDesktop::startLexorn(const QString &userName, const QString &password,
                                              const QProcessEnvironment &extra)
{
    QProcessEnvironment environment = bus.programEnvironment();
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    return desktop.startLexorn(QString::fromLatin1(service->hostAndPort()), userName, password,
                               environment);
}

QList<qulonglong> tst_TranslationDesktop::splashes() const
{
    QList<qulonglong> found;
    for (qulonglong window : desktop.windowsOfClass(QStringLiteral("^lexorn$"))) {
        if (desktop.windowType(window) == QLatin1String("_NET_WM_WINDOW_TYPE_SPLASH"))
            found.append(window);
    }
    return found;
}

QProcess *tst_TranslationDesktop::startSignedIn(const QProcessEnvironment &extra)
{
    QProcess *started =
        startLexorn(DesktopSession::demoUser(), DesktopSession::demoPassword(), extra);
    if (!DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000))
        return nullptr;
    if (!DesktopSession::waitUntil([this] { return splashes().isEmpty(); }, 8000))
        return nullptr;
    return started;
}

std::optional<Accessible> tst_TranslationDesktop::translateWindow() const
{
    for (const Accessible &window : bus.application().children) {
        if (window.name == QLatin1String("Translate Text") && window.showing)
            return window;
    }
    return std::nullopt;
}

std::optional<Accessible> tst_TranslationDesktop::openTranslateWindow() const
{
    desktop.key(QStringLiteral("super+t"));
    const qulonglong window = desktop.waitForWindow(QStringLiteral("^Translate Text$"));
    if (!window)
        return std::nullopt;
    desktop.activate(window);
    std::optional<Accessible> tree;
    DesktopSession::waitUntil([&] { return (tree = translateWindow()).has_value(); });
    return tree;
}

QString tst_TranslationDesktop::bannerText(const Accessible &window)
{
    // The banner is the window's one unnamed label of its own.
    for (const Accessible &control : window.children) {
        if (control.role == QLatin1String("label") && control.name.isEmpty() && control.showing)
            return control.text;
    }
    return {};
}

void tst_TranslationDesktop::clickOn(const Accessible &control) const
{
    desktop.click(control.rect.center().x(), control.rect.center().y());
}

bool tst_TranslationDesktop::enterTextAndPair(const QString &text, const QString &pair) const
{
    const std::optional<Accessible> window = translateWindow();
    if (!window)
        return false;
    const std::optional<Accessible> source =
        window->find(QStringLiteral("text"), QStringLiteral("^Translation Options$"));
    const std::optional<Accessible> pairs = window->find(QStringLiteral("combo box"));
    if (!source || !pairs)
        return false;
    clickOn(*source);
    desktop.type(text);

    // The list opens on a click; typing an entry's beginning picks it, Return takes it. A
    // keyboard search that a busy machine cut in two picks another entry: then once more.
    const QString picked = QLatin1Char('^') + QRegularExpression::escape(pair) + QLatin1Char('$');
    for (int attempt = 0; attempt < 3; ++attempt) {
        clickOn(*pairs);
        QTest::qWait(300);
        desktop.type(pair);
        desktop.key(QStringLiteral("Return"));
        const bool taken = DesktopSession::waitUntil(
            [&] {
                const std::optional<Accessible> now = translateWindow();
                return now && now->find(QStringLiteral("combo box"), picked);
            },
            3000);
        if (taken)
            break;
    }
    const std::optional<Accessible> now = translateWindow();
    return now && now->find(QStringLiteral("combo box"), picked) &&
           now->find(QStringLiteral("text"), QStringLiteral("^Translation Options$"))->text == text;
}

bool tst_TranslationDesktop::pressTranslate() const
{
    const std::optional<Accessible> window = translateWindow();
    const std::optional<Accessible> button =
        window ? window->find(QStringLiteral("push button"), QStringLiteral("^Translate$"))
               : std::nullopt;
    if (!button)
        return false;
    clickOn(*button);
    return true;
}

QString tst_TranslationDesktop::waitForResult() const
{
    QString result;
    DesktopSession::waitUntil(
        [&] {
            const std::optional<Accessible> window = translateWindow();
            const std::optional<Accessible> view =
                window ? window->find(QStringLiteral("text"), QStringLiteral("^Translated Text$"))
                       : std::nullopt;
            result = view ? view->text : QString();
            return !result.isEmpty();
        },
        60000);
    return result;
}

QList<QStringList> tst_TranslationDesktop::reports() const
{
    QByteArray output;
    service->run({QStringLiteral("--list-reports")}, {}, &output);
    QList<QStringList> found;
    for (const QString &line : QString::fromUtf8(output).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() == 5)
            found.append(fields.mid(1));
    }
    return found;
}

QString tst_TranslationDesktop::demoUserId() const
{
    QUrl settings = service->url(QStringLiteral("/lexorn/settings.php"));
    settings.setQuery(QStringLiteral("version=1.0.1&username=%1&password=%2")
                          .arg(DesktopSession::demoUser(), DesktopSession::demoPassword()));
    static const QRegularExpression userId(QStringLiteral("(?m)^about:\\tuserid\\t(\\S+)$"));
    return userId.match(QString::fromLatin1(httpGet(settings).body)).captured(1);
}

bool tst_TranslationDesktop::answerAlert(const QString &title, const QString &key) const
{
    const qulonglong window = desktop.waitForWindow(
        QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$'));
    if (!window)
        return false;
    desktop.activate(window);
    desktop.key(key);
    return true;
}

void tst_TranslationDesktop::roadOfOneTranslation()
{
    QVERIFY(startService());
    lexorn = startLexorn({}, {});

    // Signed in through the login dialog.
    const qulonglong login = desktop.waitForWindow(QStringLiteral("^Login$"), 15000);
    QVERIFY(login);
    desktop.activate(login);
    desktop.type(DesktopSession::demoUser());
    desktop.key(QStringLiteral("Tab"));
    desktop.type(DesktopSession::demoPassword());
    desktop.screenshot(QStringLiteral("road-1-login"));
    desktop.key(QStringLiteral("Return"));
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000));
    QVERIFY(DesktopSession::waitUntil([this] { return splashes().isEmpty(); }, 8000));

    // Super+T, the text, the pair, Translate.
    std::optional<Accessible> window = openTranslateWindow();
    QVERIFY(window);
    QVERIFY(enterTextAndPair(QStringLiteral("The house is red."),
                             QStringLiteral("English to Español")));
    desktop.screenshot(QStringLiteral("road-2-text"));
    QVERIFY(pressTranslate());
    QCOMPARE(waitForResult().trimmed(), QStringLiteral("La casa es roja."));

    // What a person copies out of the result view, once the progress window has gone.
    QVERIFY(desktop.waitForNoWindow(QStringLiteral("^Translating\\.\\.\\.$")));
    window = translateWindow();
    QVERIFY(window);
    clickOn(*window->find(QStringLiteral("text"), QStringLiteral("^Translated Text$")));
    desktop.key(QStringLiteral("ctrl+a"));
    desktop.key(QStringLiteral("ctrl+c"));
    QString copied;
    QVERIFY(DesktopSession::waitUntil([&] {
        copied = QString::fromUtf8(
            desktop.run(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"}).output);
        return !copied.isEmpty();
    }));
    QCOMPARE(copied.trimmed(), QStringLiteral("La casa es roja."));

    // The banner shows the service's answer to the report, and the service stored it.
    QVERIFY(DesktopSession::waitUntil([&] {
        const std::optional<Accessible> now = translateWindow();
        return now && bannerText(*now).contains(QStringLiteral("English to Español by Apertium."));
    }));
    desktop.screenshot(QStringLiteral("road-3-translated"));
    QList<QStringList> stored;
    QVERIFY(DesktopSession::waitUntil([&] { return !(stored = reports()).isEmpty(); }));
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().mid(0, 3), (QStringList{demoUserId(), "en", "es"}));
    QCOMPARE(stored.first().at(3).trimmed(), QStringLiteral("The house is red."));
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void tst_TranslationDesktop::wrongPasswordThenSignedIn()
{
    QVERIFY(startService());
    lexorn = startLexorn({}, {});
    const qulonglong login = desktop.waitForWindow(QStringLiteral("^Login$"), 15000);
    QVERIFY(login);
    desktop.activate(login);
    desktop.type(DesktopSession::demoUser());
    desktop.key(QStringLiteral("Tab"));
    desktop.type(QStringLiteral("not-the-password"));
    desktop.key(QStringLiteral("Return"));

    // The service's own message, then the dialog again with what was typed.
    const std::optional<Accessible> alert = bus.waitFor(QStringLiteral("alert"), "^Error$", 15000);
    QVERIFY(alert);
    QVERIFY(alert->find(QStringLiteral("label"),
                        QStringLiteral("^The e-mail address or the password is not correct\\.$")));
    desktop.screenshot(QStringLiteral("wrong-password"));
    QVERIFY(desktop.trayIcon().id == 0);
    QVERIFY(answerAlert(QStringLiteral("Error"), QStringLiteral("Return")));

    std::optional<Accessible> dialog;
    QVERIFY(DesktopSession::waitUntil([&] {
        for (const Accessible &window : bus.application().children) {
            if (window.name == QLatin1String("Login") && window.showing)
                dialog = window;
        }
        return dialog.has_value();
    }));
    QCOMPARE(dialog->find(QStringLiteral("text"))->text, DesktopSession::demoUser());

    // The password box by its access key, the right password this time.
    desktop.activate(desktop.waitForWindow(QStringLiteral("^Login$")));
    desktop.key(QStringLiteral("alt+p"));
    desktop.key(QStringLiteral("ctrl+a"));
    desktop.type(DesktopSession::demoPassword());
    desktop.key(QStringLiteral("Return"));
    QVERIFY(DesktopSession::waitUntil([this] { return desktop.trayIcon().id != 0; }, 20000));
    QVERIFY(desktop.windowsNamed(QStringLiteral("^(Login|Error)$")).isEmpty());
    QCOMPARE(lexorn->state(), QProcess::Running);
}

void tst_TranslationDesktop::serviceDownAtStart()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString nobody = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();

    QProcessEnvironment environment = bus.programEnvironment();
    lexorn = desktop.startLexorn(nobody, DesktopSession::demoUser(), DesktopSession::demoPassword(),
                                 environment);
    const std::optional<Accessible> alert = bus.waitFor(QStringLiteral("alert"), "^Error$", 20000);
    QVERIFY(alert);
    const std::optional<Accessible> message =
        alert->find(QStringLiteral("label"), QStringLiteral("^Cannot get settings!"));
    QVERIFY(message);
    const QStringList lines = message->name.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() == 3 && lines.at(1).isEmpty() && !lines.at(2).trimmed().isEmpty(),
             qPrintable(message->name));
    desktop.screenshot(QStringLiteral("service-down"));

    QVERIFY(answerAlert(QStringLiteral("Error"), QStringLiteral("Return")));
    QVERIFY(DesktopSession::waitForExit(lexorn));
    QCOMPARE(lexorn->exitStatus(), QProcess::NormalExit);
    QCOMPARE(lexorn->exitCode(), 1);
    QVERIFY(desktop.trayIcon().id == 0);
}

void tst_TranslationDesktop::failingProvider()
{
    LoopbackServer provider;
    provider.answerWith(200, "<html><body>ERROR: Translation failed</body></html>");
    QVERIFY(startService(
        {{"languages", "3 = fr, French"},
         {"provider failing", "source = en"},
         {"provider failing", "target = fr"},
         {"provider failing",
          "template = " + provider.url("/t?s=%src_lang%&d=%dest_lang%&q=%text_encode%")},
         {"provider failing", "result_start = <div id=\"t\">"},
         {"provider failing", "result_end = </div>"}}));
    QVERIFY(lexorn = startSignedIn());
    QVERIFY(openTranslateWindow());
    QVERIFY(enterTextAndPair(QStringLiteral("Good morning"), QStringLiteral("English to French")));
    QVERIFY(pressTranslate());

    QCOMPARE(waitForResult(), QStringLiteral("<< 2Translation unavailable >>"));
    desktop.screenshot(QStringLiteral("provider-failed"));
    QCOMPARE(provider.requests.size(), 1);
    QVERIFY2(provider.requests.first().target.startsWith("/t?s=en&d=fr&q=Good%20morning"),
             provider.requests.first().target.constData());

    // The report is made all the same.
    QList<QStringList> stored;
    QVERIFY(DesktopSession::waitUntil([&] { return !(stored = reports()).isEmpty(); }));
    QCOMPARE(stored.first().mid(1, 2), (QStringList{"en", "fr"}));
    QCOMPARE(stored.first().at(3).trimmed(), QStringLiteral("Good morning"));
}

void tst_TranslationDesktop::failingBannerPage()
{
    LoopbackServer banner;
    banner.answerWith(500, "<p>Out of order</p>");
    QVERIFY(startService({{"links", "banner = " + banner.url("/banner.php")}}));
    QVERIFY(lexorn = startSignedIn());
    std::optional<Accessible> window = openTranslateWindow();
    QVERIFY(window);

    // The welcome page in the banner column at first.
    QVERIFY(DesktopSession::waitUntil([&] {
        window = translateWindow();
        return window && bannerText(*window).contains(QStringLiteral("Welcome to Lexorn!"));
    }));
    const int before = window->find(QStringLiteral("panel"), "^Translated Text$")->rect.width();
    desktop.screenshot(QStringLiteral("banner-before"));

    QVERIFY(enterTextAndPair(QStringLiteral("Hello"), QStringLiteral("English to Español")));
    QVERIFY(pressTranslate());
    QVERIFY(!waitForResult().isEmpty());

    // The post reached the banner page, which failed: its column goes to the frames.
    QVERIFY(DesktopSession::waitUntil([&] { return !banner.requests.isEmpty(); }));
    QCOMPARE(banner.requests.first().method, QByteArray("POST"));
    QVERIFY2(banner.requests.first().body.startsWith("userid=" + demoUserId().toUtf8() +
                                                     "&src_lang=en&dest_lang=es&text=Hello"),
             banner.requests.first().body.constData());
    QVERIFY(DesktopSession::waitUntil([&] {
        window = translateWindow();
        return window && bannerText(*window).isEmpty();
    }));
    const Accessible to = *window->find(QStringLiteral("panel"), "^Translated Text$");
    const Accessible from = *window->find(QStringLiteral("panel"), "^Translation Options$");
    QCOMPARE(to.rect.width() - before, (2175 + 120) / 15);
    QCOMPARE(from.rect.width(), to.rect.width());
    desktop.screenshot(QStringLiteral("banner-failed"));
}

void tst_TranslationDesktop::findATranslatorOpensTheBrowser()
{
    // The desktop's default handler, as Qt finds it: the first xdg-open on the PATH.
    QTemporaryDir stubs;
    const QString opened = stubs.filePath(QStringLiteral("opened"));
    QFile opener(stubs.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + opened.toUtf8() + "'\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QVERIFY(startService());
    QProcessEnvironment path;
    path.insert(QStringLiteral("PATH"),
                stubs.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
    QVERIFY(lexorn = startSignedIn(path));
    QVERIFY(openTranslateWindow());
    QVERIFY(enterTextAndPair(QStringLiteral("Hola"), QStringLiteral("Español to English")));

    const std::optional<Accessible> window = translateWindow();
    QVERIFY(window);
    clickOn(*window->find(QStringLiteral("push button"), QStringLiteral("^Find a Translator$")));
    QVERIFY(DesktopSession::waitUntil([&] { return QFile::exists(opened); }, 5000));
    QFile file(opened);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()).trimmed(),
             service
                 ->url(QStringLiteral("/lexorn/findtran.php?userid=%1&src_lang=es&trg_lang=en")
                           .arg(demoUserId()))
                 .toString());
    QCOMPARE(lexorn->state(), QProcess::Running);
}

LEXORN_DESKTOP_TEST_MAIN(tst_TranslationDesktop)
#include "tst_translationdesktop.moc"
