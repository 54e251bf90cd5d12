#pragma once

#include "platform/form.h"

class QAction;
class QMenu;

// The hidden window that owns the tray icon and its menu. The icon's clicks reach it as mouse-move
// messages (see Form_MouseMove).
class frmTrayIcon : public platform::Form<QWidget, frmTrayIcon>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmTrayIcon)

public:
    frmTrayIcon();

    QMenu *const mnuTrayIcon;
    QAction *const mnuTranslateText;
    QAction *const mnuAbout;
    QAction *const sep;
    QAction *const mnuExit;

public Q_SLOTS:
    void mnuTranslateText_Click();
    void mnuAbout_Click();
    void mnuExit_Click();

public:
    // The icon's notifications: X is the mouse message's code, in the window's scale unit.
    void Form_MouseMove(int button, int shift, double x, double y) override;
};
