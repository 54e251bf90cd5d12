#include "platform/win/win.h"

// Stands in for the Windows backend in a build for another system.
namespace platform::win {

bool Active()
{
    return false;
}

bool RegisterHotKey(HWND, int, unsigned, unsigned, std::function<void()>)
{
    return false;
}

bool UnregisterHotKey(HWND, int)
{
    return false;
}

QMargins FrameExtents(QWidget *)
{
    return {};
}

void SetOwner(QWidget *, QWidget *) {}

bool ClaimInstance()
{
    return false;
}

QString InstanceServerName()
{
    return {};
}

bool ShellExecute(const QString &)
{
    return false;
}

} // namespace platform::win
