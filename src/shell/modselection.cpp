#include "shell/modselection.h"

#include "shell/modhotkey.h"
#include "translation/modtranslate.h"
#include "window/frmtranslatetext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

// What the text helpers were made to count to. A larger selection, megabytes of a log say, would
// hold up the window while the editor takes it in.
constexpr qsizetype LongestText = 32766;

// Spaces or line breaks selected by mistake are nothing selected.
bool blank(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

void pasteAndTranslate()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    QString text =
        clipboard->supportsSelection() ? clipboard->text(QClipboard::Selection) : QString();
    if (blank(text))
        text = clipboard->text();
    if (blank(text))
        return;
    if (text.size() > LongestText) {
        modTranslate::SayTooLong(LongestText);
        text.truncate(LongestText);
    }
    // Only into the window the hot key showed (none is made here before the sign-in), and only
    // if the user has not closed it while the message was up.
    if (!frmTranslateText::exists() || !frmTranslateText::instance().isVisible())
        return;
    frmTranslateText &window = frmTranslateText::instance();
    window.dhtFrom->setDocumentHTML(frmTranslateText::EmptyDocument);
    window.dhtFrom->insertPlainText(text);
    window.cmdTranslate->click();
}

} // namespace

void TranslateSelection()
{
    OnHotKey(quint8(TranslateHotKeyId));
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        pasteAndTranslate();
        return;
    }
    // Wayland hands the primary selection only to a window with the focus: wait a moment for it,
    // then take what there is.
    auto *wait = new QTimer(&frmTranslateText::instance());
    QObject::connect(wait, &QTimer::timeout, wait, [wait, ticks = 0]() mutable {
        if (!frmTranslateText::instance().isActiveWindow() && ++ticks < 50)
            return;
        wait->stop();
        wait->deleteLater();
        pasteAndTranslate();
    });
    wait->start(20);
}
