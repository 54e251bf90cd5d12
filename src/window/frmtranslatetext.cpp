#include "window/frmtranslatetext.h"

#include "platform/dhtmledit.h"
#include "platform/frame.h"
#include "platform/identity.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/pump.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "platform/webbrowser.h"
#include "platform/windowproc.h"
#include "session/languagepairs.h"
#include "session/sessionsettings.h"
#include "session/userrequests.h"
#include "window/modfrmtranslatetext.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace platform;

namespace {

constexpr int DefaultWidth = 6300, DefaultHeight = 6120; // twips, frame included
constexpr int Margin = 120;
constexpr int BannerWidth = 2175;
constexpr int LabelOffset = 60;

// A stored geometry value in twips, or nothing when it is absent or not a number.
std::optional<int> storedTwips(const QString &section, const QString &key)
{
    const QString text = GetSetting(AppTitle(), section, key, QString());
    bool ok = false;
    const float value = text.toFloat(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // Far beyond any screen, and still clear of integer overflow.
    return qRound(std::clamp(value, -1.0e7f, 1.0e7f));
}

} // namespace

frmTranslateText::frmTranslateText() : netHTML(new Inet(this))
{
    setupUi(this);

    connect(cmdTranslate, &QPushButton::clicked, this, &frmTranslateText::cmdTranslate_Click);
    connect(cmdFindTran, &QPushButton::clicked, this, &frmTranslateText::cmdFindTran_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmTranslateText::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmTranslateText::cmdClose_Click);
    connect(webBanner, &WebBrowser::NavigateError, this,
            &frmTranslateText::webBanner_NavigateError);
    connect(webBanner, &WebBrowser::VisibleChanged, this, [this] { RefreshMinimumSize(this); });

    placeFromSettings();
    dhtFrom->setDocumentHTML(EmptyDocument);
    dhtTo->setDocumentHTML(EmptyDocument);
    buildLanguagePairs();
    cboTranslate->setCurrentIndex(0);
    modFrmTranslateText::HookTranslateWindow(this);
    RefreshMinimumSize(this);
}

void frmTranslateText::placeFromSettings()
{
    const QString options = QStringLiteral("Options");
    const QString form = QStringLiteral("Options\\Form");
    // The stored size is the outer one; the client area is what the frame leaves of it.
    const QSize outer(
        TwipsToPixels(storedTwips(options, QStringLiteral("Width")).value_or(DefaultWidth)),
        TwipsToPixels(storedTwips(form, QStringLiteral("Height")).value_or(DefaultHeight)));
    resize(outer.shrunkBy(FrameExtents(this)));

    // A position is the frame's, as Qt places windows.
    QPoint position;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        position = screen->availableGeometry().center() - QRect(QPoint(), outer).center();
    if (const auto top = storedTwips(form, QStringLiteral("Top")))
        position.setY(TwipsToPixels(*top));
    if (const auto left = storedTwips(form, QStringLiteral("Left")))
        position.setX(TwipsToPixels(*left));
    move(position);
}

void frmTranslateText::buildLanguagePairs()
{
    const QList<Provider> &providers = SessionSettings.Providers;
    LanguagePairs = QList<LanguagePair>(providers.size());
    for (qsizetype i = 0; i < providers.size(); ++i) {
        const Provider &provider = providers.at(i);
        const Language *source = LanguageAt(provider.SourceLanguage);
        const Language *target = LanguageAt(provider.TargetLanguage);
        cboTranslate->addItem((source ? source->Name : QString()) + QStringLiteral(" to ") +
                              (target ? target->Name : QString()));
        LanguagePairs[i] = {provider.SourceLanguage, provider.TargetLanguage};
    }
}

void frmTranslateText::Form_Resize()
{
    const int H = HeightTwips(this);
    if (H <= 0 || isMinimized())
        return;
    const int W = WidthTwips(this);

    SetWidthTwips(webBanner, BannerWidth);
    SetTopTwips(webBanner, Margin);
    SetLeftTwips(webBanner, W - WidthTwips(webBanner) - Margin);
    SetHeightTwips(webBanner, H - 2 * Margin);

    SetWidthTwips(fraTo,
                  webBanner->Visible() ? W - WidthTwips(webBanner) - 3 * Margin : W - 2 * Margin);
    SetTopTwips(fraTo, H - Margin - HeightTwips(cmdClose) - Margin - HeightTwips(fraTo));
    SetWidthTwips(dhtTo, WidthTwips(fraTo) - 2 * Margin);
    SetTopTwips(cmdClose, H - HeightTwips(cmdClose) - Margin);
    SetLeftTwips(cmdClose, LeftTwips(fraTo) + WidthTwips(fraTo) - WidthTwips(cmdClose));
    SetTopTwips(cmdCopy, TopTwips(cmdClose));

    SetWidthTwips(fraFrom, WidthTwips(fraTo));
    SetHeightTwips(fraFrom, H - HeightTwips(cmdClose) - HeightTwips(fraTo) -
                                HeightTwips(cmdTranslate) - 5 * Margin);
    SetWidthTwips(dhtFrom, WidthTwips(fraFrom) - 2 * Margin);
    SetHeightTwips(dhtFrom, HeightTwips(fraFrom) - TopTwips(dhtFrom) - HeightTwips(cboTranslate) -
                                2 * Margin);
    SetTopTwips(cboTranslate, HeightTwips(fraFrom) - HeightTwips(cboTranslate) - Margin);
    SetTopTwips(lblTranslate, TopTwips(cboTranslate) + LabelOffset);

    SetTopTwips(cmdTranslate, TopTwips(fraFrom) + HeightTwips(fraFrom) + Margin);
    SetLeftTwips(cmdTranslate, LeftTwips(fraFrom) + WidthTwips(fraFrom) - WidthTwips(cmdTranslate));
    SetTopTwips(cmdFindTran, TopTwips(fraFrom) + HeightTwips(fraFrom) + Margin);
    SetLeftTwips(cmdFindTran, LeftTwips(fraFrom));
}

void frmTranslateText::cmdTranslate_Click()
{
    Q_EMIT UserRequests::instance().TranslateAsked();
}

void frmTranslateText::cmdFindTran_Click()
{
    const int k = cboTranslate->currentIndex();
    if (k < 0 || k >= LanguagePairs.size())
        return;
    const Language *source = LanguageAt(LanguagePairs.at(k).SourceLanguage);
    const Language *target = LanguageAt(LanguagePairs.at(k).TargetLanguage);
    if (!source || !target)
        return;
    QString address = SessionSettings.FindTranLink;
    address.replace(QStringLiteral("%userid%"), SessionSettings.UserId);
    address.replace(QStringLiteral("%src_lang%"), source->Code);
    address.replace(QStringLiteral("%trg_lang%"), target->Code);
    ShellExecute(address);
}

void frmTranslateText::cmdCopy_Click()
{
    MsgBox(QStringLiteral("To copy text, select the text that you wish to copy and then hold Ctrl "
                          "and press 'C'.  To paste text, hold Ctrl and press 'V'."),
           vbOKOnly);
}

void frmTranslateText::cmdClose_Click()
{
    hide();
}

void frmTranslateText::webBanner_NavigateError(QObject *, const QString &, const QString &, int,
                                               bool &)
{
    webBanner->SetVisible(false);
    DoEvents();
    Form_Resize();
}

bool frmTranslateText::event(QEvent *event)
{
    const bool handled = Form::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Resize();
    return handled;
}

void frmTranslateText::resizeEvent(QResizeEvent *event)
{
    Form::resizeEvent(event);
    Form_Resize();
}

void frmTranslateText::showEvent(QShowEvent *event)
{
    Form::showEvent(event);
    RefreshMinimumSize(this);
}

void frmTranslateText::Form_Unload()
{
    modFrmTranslateText::UnhookTranslateWindow();
}
