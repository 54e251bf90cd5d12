#include "shell/translatecommand.h"

#include "platform/dhtmledit.h"
#include "platform/messagebox.h"
#include "platform/strings.h"
#include "platform/webbrowser.h"
#include "session/languagepairs.h"
#include "session/sessionsettings.h"
#include "translation/textcodecs.h"
#include "window/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QComboBox>

using namespace platform;

namespace {

// How much of the text the banner report carries.
constexpr int ReportedUnits = 20;

} // namespace

void TranslateCommand(frmTranslateText &window)
{
    frmTranslateSplash &splash = frmTranslateSplash::instance();
    splash.SourceText = modTranslate::HtmlToText(window.dhtFrom->DocumentHTML());

    // Line breaks are text to translate; only spaces count as nothing.
    if (TrimSpaces(splash.SourceText).isEmpty()) {
        MsgBox(QStringLiteral("Please enter some text to translate."), vbInformation,
               QStringLiteral("Error"));
        return;
    }
    const int selected = window.cboTranslate->currentIndex();
    if (selected < 0) {
        MsgBox(QStringLiteral("Please select languages."), vbInformation, QStringLiteral("Error"));
        return;
    }

    splash.Translate(window, SessionSettings.Providers.at(selected));

    // The report follows every translation, an unavailable one too, and carries the text as it
    // was sent: the translation may have cut it to the session's limit.
    const LanguagePair &pair = LanguagePairs.at(selected);
    const QString body =
        QStringLiteral("userid=") + SessionSettings.UserId + QStringLiteral("&src_lang=") +
        codeOf(pair.SourceLanguage) + QStringLiteral("&dest_lang=") + codeOf(pair.TargetLanguage) +
        QStringLiteral("&text=") +
        modTranslate::UrlEncode(modTranslate::Utf8Encode(splash.SourceText.left(ReportedUnits)));
    window.webBanner->Navigate(
        SessionSettings.BannerLink, WebBrowser::navNoReadFromCache | WebBrowser::navNoWriteToCache,
        QString(), body.toUtf8(),
        QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n"));
}
