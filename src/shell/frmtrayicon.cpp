#include "shell/frmtrayicon.h"

#include "platform/messagebox.h"
#include "platform/shell.h"
#include "platform/trayicon.h"
#include "session/userrequests.h"

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
    case WM_LBUTTONDBLCLK:
        Q_EMIT UserRequests::instance().ShowAsked();
        break;
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
    Q_EMIT UserRequests::instance().RaiseAsked();
}

void frmTrayIcon::mnuAbout_Click()
{
    Q_EMIT UserRequests::instance().AboutAsked();
}

void frmTrayIcon::mnuExit_Click()
{
    if (MsgBox(QStringLiteral("Are you sure you want to quit?"), vbYesNo + vbQuestion,
               QStringLiteral("Quit?")) == vbYes)
        Q_EMIT UserRequests::instance().ExitAsked();
}
