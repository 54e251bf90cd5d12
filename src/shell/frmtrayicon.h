#pragma once

#include "platform/form.h"

// The hidden window that carries the application icon every other window copies.
class frmTrayIcon : public platform::Form<QWidget, frmTrayIcon>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmTrayIcon)

public:
    frmTrayIcon();
};
