#include "shell/modselection.h"

#include "shell/modhotkey.h"
#include "window/frmtranslatetext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>

namespace {

void pasteAndTranslate()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    QString text =
        clipboard->supportsSelection() ? clipboard->text(QClipboard::Selection) : QString();
    if (text.isEmpty())
        text = clipboard->text();
    // Only into the window the hot key showed: none is made here before the sign-in.
    if (text.isEmpty() || !frmTranslateText::exists() || !frmTranslateText::instance().isVisible())
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
