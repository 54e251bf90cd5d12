#include "platform/xdg/xdg.h"

#include "platform/glib/glib.h"

#include <QProcess>

namespace platform::xdg {
namespace {

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

} // namespace

bool ShellExecute(const QString &address)
{
    // The address goes as it was built: through QUrl, a placeholder left in it (%dest_lang%)
    // would be encoded again.
    QStringList commands;
    if (!address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        commands = qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &command : std::as_const(commands)) {
        QStringList arguments = browserCommand(command, address);
        if (!arguments.isEmpty() && QProcess::startDetached(arguments.takeFirst(), arguments))
            return true;
    }
    return QProcess::startDetached(QStringLiteral("xdg-open"), {address});
}

} // namespace platform::xdg
