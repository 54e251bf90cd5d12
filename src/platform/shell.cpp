#include "platform/shell.h"

#include "platform/glib/glib.h"
#include "platform/win/win.h"

#include <QProcess>
#include <QWidget>

namespace platform {
namespace {

std::function<void(const QString &)> &opener()
{
    static std::function<void(const QString &)> current;
    return current;
}

// One command of BROWSER, split as a shell splits it: "%s" stands for the address and "%%" for a
// percent sign, inside quotes too; a command without "%s" gets the address as its last argument.
// The address itself is not scanned.
QStringList browserCommand(const QString &command, const QString &address)
{
    QStringList arguments = glib::ShellParseArgv(command);
    bool placed = false;
    for (QString &argument : arguments) {
        QString expanded;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            const QChar next = i + 1 < argument.size() ? argument.at(i + 1) : QChar();
            if (argument.at(i) == u'%' && (next == u's' || next == u'%')) {
                expanded += next == u's' ? address : QStringLiteral("%");
                placed = placed || next == u's';
                ++i;
            } else {
                expanded += argument.at(i);
            }
        }
        argument = expanded;
    }
    if (!arguments.isEmpty() && !placed)
        arguments.append(address);
    return arguments;
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
    if (win::Built) {
        if (!win::ShellExecute(address))
            qWarning("Lexorn could not open %s", qUtf8Printable(address));
        return;
    }
    // BROWSER's commands in turn, then the desktop's handler; mail goes to the desktop's mail
    // program, not to a browser. The address goes as it was built: through QUrl, a placeholder
    // left in it (%dest_lang%) would be encoded again.
    QStringList commands;
    if (!address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        commands = qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &command : std::as_const(commands)) {
        QStringList arguments = browserCommand(command, address);
        if (!arguments.isEmpty() && QProcess::startDetached(arguments.takeFirst(), arguments))
            return;
    }
    if (QProcess::startDetached(QStringLiteral("xdg-open"), {address}))
        return;
    qWarning("Lexorn found no browser that starts (tried BROWSER, then xdg-open)");
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
