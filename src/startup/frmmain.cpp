#include "startup/frmmain.h"

#include "shell/modfrmmain.h"

frmMain::frmMain() : netSettings(new platform::Inet(this))
{
    HookMainWindow(this);
}

void frmMain::Form_Unload()
{
    UnhookMainWindow();
}
