#pragma once

#include "platform/form.h"
#include "platform/inet.h"

// The hidden main window: never shown, it carries the settings transfer and receives the hot key.
class frmMain : public platform::Form<QWidget, frmMain>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmMain)

public:
    frmMain();

    platform::Inet *const netSettings;

protected:
    void Form_Unload() override;
};
