#include "platform/win/win.h"

#include <QSettings>

// Stands in for the Windows backend in a build for another system.
namespace platform::win {

bool Active()
{
    return false;
}

bool RegisterHotKey(QWidget *, int, unsigned, unsigned, std::function<void()>)
{
    return false;
}

bool UnregisterHotKey(QWidget *, int)
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

std::unique_ptr<QSettings> OpenSettings(const QString &, const QString &)
{
    return nullptr;
}

bool ShellExecute(const QString &)
{
    return false;
}

} // namespace platform::win
