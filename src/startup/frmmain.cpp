#include "startup/frmmain.h"

#include "shell/frmtrayicon.h"

frmMain::frmMain() : netSettings(new platform::Inet(this))
{
    setWindowIcon(frmTrayIcon::instance().windowIcon());
}
