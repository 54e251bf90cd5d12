#include "platform/shell.h"

#include <QProcess>
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
    if (opener()) {
        opener()(address);
        return;
    }
    // The address goes as it was built: through QUrl, a placeholder left in it (%dest_lang%)
    // would be encoded again.
    const QString browser = qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0);
    QProcess::startDetached(browser.isEmpty() ? QStringLiteral("xdg-open") : browser, {address});
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
