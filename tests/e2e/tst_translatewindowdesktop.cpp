#include "platform/webbrowser.h"
#include "startup/sessionsettings.h"
#include "support/desktopsession.h"
#include "support/loopbackserver.h"
#include "window/frmtranslatetext.h"

#include <QFileInfo>
#include <QFont>

// The translation window on a real X server with a window manager: its minimum size as the
// window manager enforces it, and how it looks. The window runs in a child process of this test
// (the same executable) on the session's display.

namespace {

const char *const showWindowOption = "--show-translate-window";

// The child: the window as start-up leaves it, then shown as the tray icon would show it.
int showTranslateWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8)); // the program's own dialog font
    SessionSettings.Languages = {Language{}, Language{"en", "English"},
                                 Language{"es", QStringLiteral("Español")}};
    for (const auto &[source, target] : {std::pair{"1", "2"}, std::pair{"2", "1"}}) {
        Provider provider;
        provider.SourceLanguage = QString::fromLatin1(source);
        provider.TargetLanguage = QString::fromLatin1(target);
        SessionSettings.Providers.append(provider);
    }
    frmTranslateText &window = frmTranslateText::instance();
    const QString welcome = QString::fromLocal8Bit(argv[2]);
    if (welcome == QLatin1String("none"))
        window.webBanner->SetVisible(false);
    else
        window.webBanner->Navigate2(
            welcome, 0, QString(), QByteArray(),
            QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n"));
    window.show();
    return QApplication::exec();
}

} // namespace

class tst_TranslateWindowDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cannotBeSizedBelowItsMinimum_data();
    void cannotBeSizedBelowItsMinimum();
    void screenshotWithWelcomePage();

private:
    qulonglong showWindow(const QString &welcome);

    DesktopSession session;
    LoopbackServer pages;
    QProcess *child = nullptr;
};

void tst_TranslateWindowDesktop::initTestCase()
{
    QVERIFY2(session.start(false), qPrintable(session.error()));
    pages.setHandler([](const LoopbackServer::Request &request) {
        if (request.target == "/welcome.php")
            return LoopbackServer::Answer{200, "<p><b>Welcome!</b></p>"};
        return LoopbackServer::Answer{404, "<p>Not here</p>"};
    });
}

void tst_TranslateWindowDesktop::cleanup()
{
    if (child) {
        child->terminate();
        child->waitForFinished(5000);
        child = nullptr;
    }
    QVERIFY(session.waitForNoWindow(QStringLiteral("^Translate Text$")));
}

qulonglong tst_TranslateWindowDesktop::showWindow(const QString &welcome)
{
    child = session.launch(QCoreApplication::applicationFilePath(),
                           {QString::fromLatin1(showWindowOption), welcome});
    return session.waitForWindow(QStringLiteral("^Translate Text$"));
}

void tst_TranslateWindowDesktop::cannotBeSizedBelowItsMinimum_data()
{
    QTest::addColumn<QString>("welcome");
    QTest::addColumn<QSize>("minimum");

    QTest::newRow("banner shown") << pages.url("/welcome.php") << QSize(420, 355);
    QTest::newRow("banner hidden") << "none" << QSize(275, 355);
    QTest::newRow("banner page failed") << pages.url("/missing.php") << QSize(275, 355);
}

void tst_TranslateWindowDesktop::cannotBeSizedBelowItsMinimum()
{
    QFETCH(QString, welcome);
    QFETCH(QSize, minimum);
    const qulonglong window = showWindow(welcome);
    QVERIFY(window);
    const QString id = QString::number(window);

    // The window can be sized at all...
    session.run(QStringLiteral("xdotool"), {"windowsize", id, "600", "500"});
    QVERIFY(session.waitUntil(
        [&] { return session.windowGeometry(window).size() == QSize(600, 500); }));

    // ...but not below its minimum. A failing banner page is hidden a little later: ask again
    // until the answer settles.
    QSize reached;
    const bool settled = session.waitUntil([&] {
        session.run(QStringLiteral("xdotool"), {"windowsize", id, "100", "100"});
        reached = session.windowGeometry(window).size();
        return reached == minimum;
    });
    QVERIFY2(settled,
             qPrintable(QStringLiteral("%1x%2").arg(reached.width()).arg(reached.height())));
    QTest::qWait(300);
    QCOMPARE(session.windowGeometry(window).size(), minimum);
}

void tst_TranslateWindowDesktop::screenshotWithWelcomePage()
{
    const QString service = session.startService();
    QVERIFY2(!service.isEmpty(), qPrintable(session.error()));
    const qulonglong window =
        showWindow(QStringLiteral("http://") + service + QStringLiteral("/lexorn/welcome.php"));
    QVERIFY(window);
    QCOMPARE(session.windowGeometry(window).size(), QSize(420, 408));
    QTest::qWait(1500); // the welcome page arrives and is painted
    const QString path = session.screenshot(QStringLiteral("translate-window"));
    QVERIFY(QFileInfo(path).size() > 0);
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], showWindowOption) == 0)
        return showTranslateWindow(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QApplication app(argc, argv);
    tst_TranslateWindowDesktop test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translatewindowdesktop.moc"
