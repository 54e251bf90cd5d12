#include "shell/frmtrayicon.h"

#include <QIcon>

frmTrayIcon::frmTrayIcon()
{
    setWindowTitle(QStringLiteral("frmTrayIcon"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/lexorn-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/lexorn-32.png"), QSize(32, 32));
    setWindowIcon(icon);
}
