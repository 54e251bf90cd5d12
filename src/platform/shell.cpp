#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

namespace platform {
namespace {

std::function<void(const QString &)> &opener()
{
    static std::function<void(const QString &)> current;
    return current;
}

} // namespace

void ShellExecute(const QString &address)
{
    if (opener())
        opener()(address);
    else
        QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void setBrowserOpener(std::function<void(const QString &)> replacement)
{
    opener() = std::move(replacement);
}

void SetForegroundWindow(QWidget *window)
{
    window->raise();
    window->activateWindow();
}

} // namespace platform
