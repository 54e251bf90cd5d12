#include "startup/frmmain.h"

#include "shell/frmtrayicon.h"
#include "shell/modfrmmain.h"

frmMain::frmMain() : netSettings(new platform::Inet(this))
{
    setWindowIcon(frmTrayIcon::instance().windowIcon());
    HookMainWindow(this);
}

void frmMain::Form_Unload()
{
    UnhookMainWindow();
}
