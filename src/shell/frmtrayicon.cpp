#include "shell/frmtrayicon.h"

#include "info/frmabout.h"
#include "platform/messagebox.h"
#include "platform/shell.h"
#include "platform/trayicon.h"
#include "startup/modmain.h"
#include "window/frmtranslatetext.h"

#include <QCursor>
#include <QMenu>
#include <QtMath>

using namespace platform;

frmTrayIcon::frmTrayIcon()
    : mnuTrayIcon(new QMenu(QStringLiteral("TrayIcon"), this)),
      mnuTranslateText(mnuTrayIcon->addAction(QStringLiteral("&Translate Text"))),
      mnuAbout(mnuTrayIcon->addAction(QStringLiteral("&About"))), sep(mnuTrayIcon->addSeparator()),
      mnuExit(mnuTrayIcon->addAction(QStringLiteral("E&xit")))
{
    setWindowTitle(QStringLiteral("frmTrayIcon"));
    connect(mnuTranslateText, &QAction::triggered, this, &frmTrayIcon::mnuTranslateText_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmTrayIcon::mnuAbout_Click);
    connect(mnuExit, &QAction::triggered, this, &frmTrayIcon::mnuExit_Click);
}

void frmTrayIcon::Form_MouseMove(int, int, double x, double)
{
    // The notification code arrives as the horizontal position, in the window's scale unit.
    const int code = ScaleMode() == vbPixels ? qRound(x) : qRound(x / TwipsPerPixel);
    switch (code) {
    case WM_LBUTTONDBLCLK: {
        frmTranslateText &window = frmTranslateText::instance();
        window.show();
        SetForegroundWindow(&window);
        break;
    }
    case WM_RBUTTONUP:
        SetForegroundWindow(this);
        mnuTrayIcon->exec(QCursor::pos());
        break;
    default:
        break;
    }
}

void frmTrayIcon::mnuTranslateText_Click()
{
    // Showing a window that is open already brings it up.
    frmTranslateText &window = frmTranslateText::instance();
    window.show();
    window.raise();
    window.activateWindow();
}

void frmTrayIcon::mnuAbout_Click()
{
    // An About box already open is brought up rather than opened twice.
    frmAbout &about = frmAbout::instance();
    about.show();
    about.raise();
    about.activateWindow();
}

void frmTrayIcon::mnuExit_Click()
{
    if (MsgBox(QStringLiteral("Are you sure you want to quit?"), vbYesNo + vbQuestion,
               QStringLiteral("Quit?")) == vbYes)
        Shutdown();
}
