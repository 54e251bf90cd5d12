#include "platform/dhtmledit.h"
#include "platform/form.h"
#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "shell/frmtrayicon.h"
#include "startup/sessionsettings.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"
#include "window/languagepairs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

using namespace platform;

namespace {

// Languages 1 and 2 exist; slot 0 is the unfilled one the settings always have.
void useSession(const QStringList &pairs, const QString &findTranLink = {},
                const QString &userId = QStringLiteral("42"))
{
    SessionSettings = {};
    SessionSettings.Languages = {Language{}, Language{"en", "English"}, Language{"fr", "French"}};
    for (const QString &pair : pairs) {
        Provider provider;
        provider.SourceLanguage = pair.section(QLatin1Char('-'), 0, 0);
        provider.TargetLanguage = pair.section(QLatin1Char('-'), 1, 1);
        SessionSettings.Providers.append(provider);
    }
    SessionSettings.FindTranLink = findTranLink;
    SessionSettings.UserId = userId;
}

void closeWindow()
{
    frmTranslateText::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmTranslateText::exists());
}

frmTranslateText &shownWindow(int width, int height)
{
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    // The narrowest layouts here are below the X11 minimum, which counts no frame.
    window.setMinimumSize(0, 0);
    window.resize(width, height);
    return window;
}

QRect twipsOf(const QWidget *control)
{
    return {LeftTwips(control), TopTwips(control), WidthTwips(control), HeightTwips(control)};
}

QList<QWidget *> controlsOf(frmTranslateText &w)
{
    return {w.fraFrom,      w.Label1, w.dhtFrom, w.lblTranslate, w.cboTranslate, w.cmdFindTran,
            w.cmdTranslate, w.fraTo,  w.dhtTo,   w.cmdCopy,      w.cmdClose,     w.webBanner};
}

QList<QRect> placementsOf(frmTranslateText &w)
{
    QList<QRect> placements;
    for (const QWidget *control : controlsOf(w))
        placements.append(twipsOf(control));
    return placements;
}

int bottom(const QWidget *control)
{
    return TopTwips(control) + HeightTwips(control);
}

int right(const QWidget *control)
{
    return LeftTwips(control) + WidthTwips(control);
}

} // namespace

class tst_frmTranslateText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void geometryFromSettings_data();
    void geometryFromSettings();

    void pairList_data();
    void pairList();
    void secondOfTwoIdenticalPairsSelectsSecondProvider();

    void bannerTakesItsColumn_data();
    void bannerTakesItsColumn();
    void tallerWindowGrowsOnlyTheInputSide();
    void everyGapIsOneMargin_data();
    void everyGapIsOneMargin();
    void minimizedWindowIsLeftAlone();
    void activationLaysOut();

    void findTranslator_data();
    void findTranslator();
    void copyAndPasteExplains();
    void bannerErrorGivesItsRoomToTheFrames();

    void okHidesAndKeepsEverything();
    void closeBoxClosesAndNextTouchStartsAfresh();
};

void tst_frmTranslateText::init()
{
    useSession({"1-2"});
    QSettings(QSettings::IniFormat, QSettings::UserScope, CompanyName(), AppTitle()).clear();
}

void tst_frmTranslateText::cleanup()
{
    closeWindow();
}

void tst_frmTranslateText::geometryFromSettings_data()
{
    QTest::addColumn<QStringList>("stored"); // section|key|value
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("x"); // -1: centred
    QTest::addColumn<int>("y");

    const QSize standard(420, 408);
    QTest::newRow("nothing stored") << QStringList() << standard << -1 << -1;
    QTest::newRow("width") << QStringList{"Options|Width|7500"} << QSize(500, 408) << -1 << -1;
    QTest::newRow("width of the wrong section")
        << QStringList{"Options\\Form|Width|7500"} << standard << -1 << -1;
    QTest::newRow("height") << QStringList{"Options\\Form|Height|7200"} << QSize(420, 480) << -1
                            << -1;
    QTest::newRow("decimal values")
        << QStringList{"Options|Width|7500.0", "Options\\Form|Height|7.2e3"} << QSize(500, 480)
        << -1 << -1;
    QTest::newRow("top without left")
        << QStringList{"Options\\Form|Top|1500"} << standard << -1 << 100;
    QTest::newRow("left without top")
        << QStringList{"Options\\Form|Left|3000"} << standard << 200 << -1;
    QTest::newRow("position") << QStringList{"Options\\Form|Left|3000", "Options\\Form|Top|1500"}
                              << standard << 200 << 100;
    QTest::newRow("empty top") << QStringList{"Options\\Form|Top|"} << standard << -1 << -1;
    QTest::newRow("width not a number")
        << QStringList{"Options|Width|wide"} << standard << -1 << -1;
    QTest::newRow("top not a number")
        << QStringList{"Options\\Form|Top|12px", "Options\\Form|Left|3000"} << standard << 200
        << -1;
}

void tst_frmTranslateText::geometryFromSettings()
{
    QFETCH(QStringList, stored);
    QFETCH(QSize, size);
    QFETCH(int, x);
    QFETCH(int, y);
    for (const QString &value : stored) {
        const QStringList parts = value.split(QLatin1Char('|'));
        SaveSetting(AppTitle(), parts.at(0), parts.at(1), parts.at(2));
    }

    const frmTranslateText &window = frmTranslateText::instance();
    QCOMPARE(window.size(), size);
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    if (x >= 0)
        QCOMPARE(window.x(), x);
    else
        QVERIFY2(qAbs(window.geometry().center().x() - centre.x()) <= 1,
                 qPrintable(QString::number(window.x())));
    if (y >= 0)
        QCOMPARE(window.y(), y);
    else
        QVERIFY2(qAbs(window.geometry().center().y() - centre.y()) <= 1,
                 qPrintable(QString::number(window.y())));
}

void tst_frmTranslateText::pairList_data()
{
    QTest::addColumn<QStringList>("providers");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");

    QTest::newRow("two pairs") << QStringList{"1-2", "2-1"}
                               << QStringList{"English to French", "French to English"} << 0;
    QTest::newRow("identical pairs")
        << QStringList{"1-2", "1-2"} << QStringList{"English to French", "English to French"} << 0;
    QTest::newRow("no providers") << QStringList() << QStringList() << -1;
    QTest::newRow("index that names no language")
        << QStringList{"1-7", "x-2", "2-1"}
        << QStringList{"English to ", " to French", "French to English"} << 0;
}

void tst_frmTranslateText::pairList()
{
    QFETCH(QStringList, providers);
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    LanguagePairs = {LanguagePair{"9", "9"}}; // left over from an earlier window
    useSession(providers);

    const frmTranslateText &window = frmTranslateText::instance();
    QStringList shown;
    for (int i = 0; i < window.cboTranslate->count(); ++i)
        shown.append(window.cboTranslate->itemText(i));
    QCOMPARE(shown, entries);
    QCOMPARE(window.cboTranslate->currentIndex(), selected);
    QCOMPARE(LanguagePairs.size(), providers.size());
    for (qsizetype i = 0; i < providers.size(); ++i) {
        QCOMPARE(LanguagePairs.at(i).SourceLanguage,
                 SessionSettings.Providers.at(i).SourceLanguage);
        QCOMPARE(LanguagePairs.at(i).TargetLanguage,
                 SessionSettings.Providers.at(i).TargetLanguage);
    }
}

void tst_frmTranslateText::secondOfTwoIdenticalPairsSelectsSecondProvider()
{
    useSession({"1-2", "1-2"});
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.cboTranslate->setFocus();
    QTest::keyClick(window.cboTranslate, Qt::Key_Down);
    QCOMPARE(window.cboTranslate->currentIndex(), 1);
}

void tst_frmTranslateText::bannerTakesItsColumn_data()
{
    QTest::addColumn<bool>("banner");
    QTest::addColumn<int>("frameWidth");

    QTest::newRow("banner shown") << true << 3645;
    QTest::newRow("banner hidden") << false << 5940;
}

void tst_frmTranslateText::bannerTakesItsColumn()
{
    QFETCH(bool, banner);
    QFETCH(int, frameWidth);
    frmTranslateText &window = shownWindow(6180 / TwipsPerPixel, 408);
    window.webBanner->SetVisible(banner);
    window.Form_Resize();

    QCOMPARE(WidthTwips(window.fraFrom), frameWidth);
    QCOMPARE(WidthTwips(window.fraTo), frameWidth);
    QCOMPARE(WidthTwips(window.dhtFrom), frameWidth - 240);
    QCOMPARE(WidthTwips(window.dhtTo), frameWidth - 240);
    QCOMPARE(LeftTwips(window.webBanner), 3885);
    QCOMPARE(WidthTwips(window.webBanner), 2175);
    QCOMPARE(TopTwips(window.webBanner), 120);
    QCOMPARE(HeightTwips(window.webBanner), 408 * TwipsPerPixel - 240);
}

void tst_frmTranslateText::tallerWindowGrowsOnlyTheInputSide()
{
    frmTranslateText &window = shownWindow(420, 408);
    QTRY_COMPARE(window.height(), 408);
    const QList<QRect> before = placementsOf(window);
    window.resize(420, 508);
    QTRY_COMPARE(window.height(), 508);
    const QList<QRect> after = placementsOf(window);

    const int grown = 100 * TwipsPerPixel;
    const QList<QWidget *> controls = controlsOf(window);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        QWidget *control = controls.at(i);
        const QByteArray name = control->objectName().toUtf8();
        const bool stretches =
            control == window.fraFrom || control == window.dhtFrom || control == window.webBanner;
        QCOMPARE(after.at(i).width(), before.at(i).width());
        QVERIFY2(after.at(i).height() == before.at(i).height() + (stretches ? grown : 0),
                 name.constData());
    }
    // What lies below the input side moves down with the bottom edge.
    const QList<QWidget *> below{window.fraTo,       window.cmdFindTran, window.cmdTranslate,
                                 window.cmdCopy,     window.cmdClose,    window.cboTranslate,
                                 window.lblTranslate};
    for (QWidget *control : below) {
        const qsizetype i = controls.indexOf(control);
        QVERIFY2(after.at(i).top() == before.at(i).top() + grown,
                 control->objectName().toUtf8().constData());
    }
    QCOMPARE(after.at(controls.indexOf(window.dhtTo)), before.at(controls.indexOf(window.dhtTo)));
    QCOMPARE(after.at(controls.indexOf(window.Label1)), before.at(controls.indexOf(window.Label1)));
}

void tst_frmTranslateText::everyGapIsOneMargin_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("banner");

    QTest::newRow("default with banner") << QSize(420, 408) << true;
    QTest::newRow("default without banner") << QSize(420, 408) << false;
    QTest::newRow("large with banner") << QSize(900, 700) << true;
    QTest::newRow("smallest without banner") << QSize(275, 355) << false;
}

void tst_frmTranslateText::everyGapIsOneMargin()
{
    QFETCH(QSize, size);
    QFETCH(bool, banner);
    frmTranslateText &w = shownWindow(size.width(), size.height());
    w.webBanner->SetVisible(banner);
    w.Form_Resize();
    const int W = size.width() * TwipsPerPixel;
    const int H = size.height() * TwipsPerPixel;

    QCOMPARE(TopTwips(w.fraFrom), 120);
    QCOMPARE(TopTwips(w.cmdTranslate), bottom(w.fraFrom) + 120);
    QCOMPARE(TopTwips(w.cmdFindTran), TopTwips(w.cmdTranslate));
    QCOMPARE(TopTwips(w.fraTo), bottom(w.cmdTranslate) + 120);
    QCOMPARE(TopTwips(w.cmdClose), bottom(w.fraTo) + 120);
    QCOMPARE(TopTwips(w.cmdCopy), TopTwips(w.cmdClose));
    QCOMPARE(bottom(w.cmdClose) + 120, H);
    QCOMPARE(HeightTwips(w.fraTo), 1815);

    QCOMPARE(LeftTwips(w.fraFrom), 120);
    QCOMPARE(LeftTwips(w.cmdFindTran), 120);
    QCOMPARE(right(w.cmdTranslate), right(w.fraFrom));
    QCOMPARE(right(w.cmdClose), right(w.fraTo));
    QCOMPARE(right(w.dhtFrom) + 120, WidthTwips(w.fraFrom));
    QCOMPARE(bottom(w.cboTranslate) + 120, HeightTwips(w.fraFrom));
    QCOMPARE(bottom(w.dhtFrom) + 120, TopTwips(w.cboTranslate));
    QCOMPARE(TopTwips(w.lblTranslate), TopTwips(w.cboTranslate) + 60);
    if (banner) {
        QCOMPARE(LeftTwips(w.webBanner), right(w.fraFrom) + 120);
        QCOMPARE(right(w.webBanner) + 120, W);
    } else {
        QCOMPARE(right(w.fraFrom) + 120, W);
    }
}

void tst_frmTranslateText::minimizedWindowIsLeftAlone()
{
    frmTranslateText &window = shownWindow(420, 408);
    QTRY_COMPARE(window.height(), 408);
    const QList<QRect> laidOut = placementsOf(window);

    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(window.isMinimized());
    window.resize(600, 600);
    window.Form_Resize();
    QCOMPARE(placementsOf(window), laidOut);

    window.setWindowState(Qt::WindowNoState);
    window.resize(420, 500);
    QTRY_COMPARE(HeightTwips(window.fraFrom), laidOut.first().height() + 92 * TwipsPerPixel);
}

void tst_frmTranslateText::activationLaysOut()
{
    frmTranslateText &window = frmTranslateText::instance();
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    SetWidthTwips(window.fraFrom, 15);
    SetTopTwips(window.cmdClose, 0);

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(WidthTwips(window.fraFrom), 6300 - 2175 - 360);
    QCOMPARE(TopTwips(window.cmdClose), 6120 - 375 - 120);
}

void tst_frmTranslateText::findTranslator_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QStringList>("providers");
    QTest::addColumn<QStringList>("opened");

    const QStringList enFr{"1-2"};
    QTest::newRow("placeholders") << "http://h/find?u=%userid%&from=%src_lang%&to=%trg_lang%"
                                  << "42" << enFr
                                  << QStringList{"http://h/find?u=42&from=en&to=fr"};
    QTest::newRow("user id twice") << "http://h/%userid%/%userid%"
                                   << "42" << enFr << QStringList{"http://h/42/42"};
    QTest::newRow("no placeholders") << "http://h/find"
                                     << "42" << enFr << QStringList{"http://h/find"};
    QTest::newRow("dest_lang is not one of them")
        << "http://h/?to=%dest_lang%"
        << "42" << enFr << QStringList{"http://h/?to=%dest_lang%"};
    QTest::newRow("capital letters") << "http://h/?u=%USERID%"
                                     << "42" << enFr << QStringList{"http://h/?u=%USERID%"};
    QTest::newRow("inserted text is searched by later steps")
        << "http://h/?u=%userid%"
        << "%src_lang%-%trg_lang%" << QStringList{"2-1"} << QStringList{"http://h/?u=fr-en"};
    QTest::newRow("inserted as it is") << "http://h/?u=%userid%"
                                       << "a b&c" << enFr << QStringList{"http://h/?u=a b&c"};
    QTest::newRow("no pair") << "http://h/find"
                             << "42" << QStringList() << QStringList();
    QTest::newRow("index that names no language") << "http://h/find"
                                                  << "42" << QStringList{"1-9"} << QStringList();
}

void tst_frmTranslateText::findTranslator()
{
    QFETCH(QString, link);
    QFETCH(QString, userId);
    QFETCH(QStringList, providers);
    QFETCH(QStringList, opened);
    useSession(providers, link, userId);
    BrowserRecorder browsers;

    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QTest::mouseClick(window.cmdFindTran, Qt::LeftButton);
    QCOMPARE(browsers.opened, opened);
}

void tst_frmTranslateText::copyAndPasteExplains()
{
    MessageBoxRecorder boxes;
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QTest::mouseClick(window.cmdCopy, Qt::LeftButton);

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.at(0).prompt,
             "To copy text, select the text that you wish to copy and then hold Ctrl and press "
             "'C'.  To paste text, hold Ctrl and press 'V'.");
    QCOMPARE(boxes.shown.at(0).style, int(vbOKOnly));
    QCOMPARE(boxes.shown.at(0).title, "Lexorn");
}

void tst_frmTranslateText::bannerErrorGivesItsRoomToTheFrames()
{
    LoopbackServer server;
    server.answerWith(404, "<p>gone</p>");
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(WidthTwips(window.fraFrom), 6300 - 2175 - 360);
    QCOMPARE(window.minimumSize(), QSize(420, 355));

    window.webBanner->Navigate2(server.url("/welcome.php"));
    QTRY_VERIFY(!window.webBanner->Visible());
    QCOMPARE(WidthTwips(window.fraFrom), 6300 - 240);
    QCOMPARE(WidthTwips(window.fraTo), 6300 - 240);
    QCOMPARE(right(window.cmdTranslate), 6300 - 120);
    QCOMPARE(window.minimumSize(), QSize(275, 355));
}

void tst_frmTranslateText::okHidesAndKeepsEverything()
{
    useSession({"1-2", "2-1"});
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.dhtFrom->setFocus();
    QTest::keyClicks(window.dhtFrom, "Hello");
    window.dhtTo->setDocumentHTML("<html><body>Bonjour</body></html>");
    window.cboTranslate->setCurrentIndex(1);
    window.webBanner->SetVisible(false);

    QTest::mouseClick(window.cmdClose, Qt::LeftButton);
    QVERIFY(window.isHidden());
    QVERIFY(frmTranslateText::exists());
    QCOMPARE(&frmTranslateText::instance(), &window);
    window.show();
    QVERIFY(window.dhtFrom->DocumentHTML().contains("<p>Hello</p>"));
    QCOMPARE(window.dhtTo->toPlainText(), "Bonjour");
    QCOMPARE(window.cboTranslate->currentIndex(), 1);
    QVERIFY(!window.webBanner->Visible());
}

void tst_frmTranslateText::closeBoxClosesAndNextTouchStartsAfresh()
{
    LoopbackServer server;
    server.answerWith(200, "<p>Welcome</p>");
    {
        frmTranslateText &window = frmTranslateText::instance();
        window.show();
        window.webBanner->Navigate2(server.url("/welcome.php"));
        QTRY_COMPARE(window.webBanner->toPlainText(), "Welcome");
        window.dhtFrom->setDocumentHTML("<html><body>typed</body></html>");
        window.dhtTo->setDocumentHTML("<html><body>translated</body></html>");
        window.webBanner->SetVisible(false);
        QVERIFY(window.close());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmTranslateText::exists());

    const frmTranslateText &window = frmTranslateText::instance();
    QVERIFY(window.isHidden());
    QCOMPARE(window.dhtFrom->DocumentHTML(), frmTranslateText::EmptyDocument);
    QCOMPARE(window.dhtTo->DocumentHTML(), frmTranslateText::EmptyDocument);
    QVERIFY(window.webBanner->Visible());
    QCOMPARE(window.webBanner->toPlainText(), QString());
    QCOMPARE(window.minimumSize(), QSize(420, 355));
    QCOMPARE(window.windowIcon().cacheKey(), frmTrayIcon::instance().windowIcon().cacheKey());
}

LEXORN_TEST_MAIN(tst_frmTranslateText)
#include "tst_frmtranslatetext.moc"
