#include "window/frmmain.h"

#include "window/modfrmmain.h"

frmMain::frmMain() : netSettings(new platform::Inet(this))
{
    HookMainWindow(this);
}

void frmMain::Form_Unload()
{
    UnhookMainWindow();
}
