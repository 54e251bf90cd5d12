#include "platform/dhtmledit.h"
#include "platform/form.h"
#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "session/languagepairs.h"
#include "startup/modmain.h"
#include "support/loopbackserver.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

using namespace platform;

// The translation window: its place from the settings, its pair list, its layout, its side
// commands and the hook that sets its minimum size.
class tst_frmTranslateText : public QObject
{
    Q_OBJECT

    static int bottom(const QWidget *control) { return TopTwips(control) + HeightTwips(control); }
    static int right(const QWidget *control) { return LeftTwips(control) + WidthTwips(control); }

    // Languages 1 and 2 exist; slot 0 is the unfilled one the settings always have.
    static void useSession(const QStringList &pairs)
    {
        SessionSettings = {};
        SessionSettings.Languages = {{}, {"en", "English"}, {"fr", "French"}};
        for (const QString &pair : pairs) // "source-target"; the rest unset
            SessionSettings.Providers.append(
                {0, {}, {}, {}, {}, pair.section('-', 0, 0), pair.section('-', 1), {}, {}});
    }

private Q_SLOTS:
    void init()
    {
        useSession({"1-2"});
        clearSettings();
    }

    void cleanup()
    {
        frmTranslateText::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void geometryFromSettings_data()
    {
        // stored: section|key|value, each line
        // geometry: -1: centred
        columns<QString, QRect>({"stored", "geometry"});
        dataRow("nothing stored", "", QRect(-1, -1, 420, 408));
        dataRow("width", "Options|Width|7500.0", QRect(-1, -1, 500, 408));
        dataRow("width of the wrong section", "Options\\Form|Width|7500", QRect(-1, -1, 420, 408));
        dataRow("height", "Options\\Form|Height|7.2e3", QRect(-1, -1, 420, 480));
        dataRow("top without left", "Options\\Form|Top|1500", QRect(-1, 100, 420, 408));
        dataRow("not a number", "Options\\Form|Top|12px\nOptions\\Form|Left|3000",
                QRect(200, -1, 420, 408));
    }

    void geometryFromSettings()
    {
        auto [stored, geometry] = current<QString, QRect>();
        for (const QString &value : stored.split('\n', Qt::SkipEmptyParts))
            SaveSetting(AppTitle(), value.section('|', 0, 0), value.section('|', 1, 1),
                        value.section('|', 2));
        const QRect shown = frmTranslateText::instance().geometry();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center() -
                              QRect(QPoint(), shown.size()).center();
        QCOMPARE(shown, QRect(geometry.x() < 0 ? centre.x() : geometry.x(),
                              geometry.y() < 0 ? centre.y() : geometry.y(), geometry.width(),
                              geometry.height()));
    }

    // The pair list, and Find a Translator for its first entry: only its own placeholders, each
    // value inserted as it is, and the address handed to the browser as it was built; nothing
    // without a pair or for a pair of unknown languages.
    void pairList_data()
    {
        // providers: source-target, ...
        columns<QString, QString, QString>({"providers", "entries", "found"});
        const QString found = "http://h.example/h?u=a b&s=en&t=fr&d=%dest_lang%%USERID%";
        dataRow("two pairs", "1-2,2-1", "English to French,French to English", found);
        dataRow("identical pairs", "1-2,1-2", "English to French,English to French", found);
        dataRow("no providers", "", "", "");
        dataRow("index that names no language", "1-7,x-2", "English to , to French", "");
    }

    void pairList()
    {
        auto [providers, entries, found] = current<QString, QString, QString>();
        LanguagePairs = {LanguagePair{"9", "9"}}; // left over from an earlier window
        useSession(providers.split(',', Qt::SkipEmptyParts));
        SessionSettings.FindTranLink =
            "http://h.example/h?u=%userid%&s=%src_lang%&t=%trg_lang%&d=%dest_lang%%USERID%";
        SessionSettings.UserId = "a b";
        const frmTranslateText &window = frmTranslateText::instance();
        QStringList shown, copied;
        for (int i = 0; i < window.cboTranslate->count(); ++i)
            shown.append(window.cboTranslate->itemText(i));
        QCOMPARE(shown.join(','), entries);
        for (const LanguagePair &pair : std::as_const(LanguagePairs))
            copied.append(pair.SourceLanguage + '-' + pair.TargetLanguage);
        QCOMPARE(copied.join(','), providers);
        QCOMPARE(window.cboTranslate->currentIndex(), entries.isEmpty() ? -1 : 0);
        Recorder browser;
        QTest::mouseClick(window.cmdFindTran, Qt::LeftButton);
        QCOMPARE(browser.opened.join(' '), found);
    }

    void layout_data()
    {
        columns<QSize, bool, int>({"size", "banner", "frameWidth"});
        dataRow("6180 wide with banner", QSize(412, 408), true, 3645);
        dataRow("6180 wide without banner", QSize(412, 408), false, 5940);
        dataRow("smallest without banner", QSize(275, 355), false, 3885);
        dataRow("taller with banner", QSize(420, 508), true, 3765);
    }

    void layout()
    {
        auto [size, banner, frameWidth] = current<QSize, bool, int>();
        frmTranslateText &w = frmTranslateText::instance();
        w.webBanner->SetVisible(!banner);
        w.webBanner->SetVisible(banner); // the minimum follows the banner
        QCOMPARE(w.minimumSize(), QSize(banner ? 420 : 275, 355));
        w.show();
        w.setMinimumSize(0, 0); // some layouts here are below the minimum
        w.resize(size);
        w.Form_Resize();
        const int W = size.width() * TwipsPerPixel, H = size.height() * TwipsPerPixel;

        if (banner)
            QCOMPARE(LeftTwips(w.webBanner), frameWidth + 240);
        // Every gap between controls, and to the window's edges, is one margin.
        QCOMPARE((QList<int>{TopTwips(w.fraFrom), TopTwips(w.cmdTranslate) - bottom(w.fraFrom),
                             TopTwips(w.fraTo) - bottom(w.cmdTranslate),
                             TopTwips(w.cmdClose) - bottom(w.fraTo), H - bottom(w.cmdClose),
                             TopTwips(w.cboTranslate) - bottom(w.dhtFrom),
                             HeightTwips(w.fraFrom) - bottom(w.cboTranslate), TopTwips(w.webBanner),
                             H - bottom(w.webBanner), LeftTwips(w.fraFrom),
                             LeftTwips(w.cmdFindTran), WidthTwips(w.fraFrom) - right(w.dhtFrom),
                             WidthTwips(w.fraTo) - right(w.dhtTo),
                             W - (banner ? right(w.webBanner) : right(w.fraFrom))}),
                 QList<int>(14, 120));
        // The frames' width, and the edges that line up.
        QCOMPARE((QList<int>{WidthTwips(w.fraFrom), WidthTwips(w.fraTo), TopTwips(w.cmdFindTran),
                             TopTwips(w.cmdCopy), right(w.cmdTranslate), right(w.cmdClose),
                             TopTwips(w.lblTranslate) - 60}),
                 (QList<int>{frameWidth, frameWidth, TopTwips(w.cmdTranslate), TopTwips(w.cmdClose),
                             right(w.fraFrom), right(w.fraTo), TopTwips(w.cboTranslate)}));
    }
};

LEXORN_TEST_MAIN(tst_frmTranslateText)
#include "tst_frmtranslatetext.moc"
