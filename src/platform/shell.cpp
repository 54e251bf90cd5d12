#include "platform/shell.h"

#include "platform/win/win.h"
#include "platform/xdg/xdg.h"

#include <QDebug>
#include <QWidget>

namespace platform {
namespace {

std::function<void(const QString &)> &opener()
{
    static std::function<void(const QString &)> current;
    return current;
}

// The host of "//AUTHORITY..." after an http or https scheme; backslashes end it, as browsers
// read them there.
QStringView hostOf(QStringView rest)
{
    if (!rest.startsWith(u"//"))
        return {};
    QStringView authority = rest.mid(2);
    for (qsizetype i = 0; i < authority.size(); ++i) {
        const QChar c = authority.at(i);
        if (c == u'/' || c == u'\\' || c == u'?' || c == u'#') {
            authority.truncate(i);
            break;
        }
    }
    QStringView host = authority.mid(authority.lastIndexOf(u'@') + 1);
    const qsizetype port = host.lastIndexOf(u':');
    if (port >= 0 && !host.mid(port).contains(u']'))
        host.truncate(port);
    return host;
}

// Addresses come from the service over plain HTTP: anything but the web and mail could start a
// program, open a local file or hand the user's credentials to a share.
bool isWebAddress(const QString &address)
{
    for (const QChar c : address) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return address.size() > 7;
    for (const QLatin1String scheme : {QLatin1String("http:"), QLatin1String("https:")}) {
        if (address.startsWith(scheme, Qt::CaseInsensitive))
            return !hostOf(QStringView(address).mid(scheme.size())).isEmpty();
    }
    return false;
}

} // namespace

void ShellExecute(const QString &address)
{
    if (!isWebAddress(address)) {
        qWarning() << "Lexorn opens only web and mail addresses, not" << address;
        return;
    }
    if (opener()) {
        opener()(address);
        return;
    }
    const bool opened = win::Built ? win::ShellExecute(address) : xdg::ShellExecute(address);
    if (!opened)
        qWarning("Lexorn could not open %s", qUtf8Printable(address));
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
