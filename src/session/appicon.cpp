#include "session/appicon.h"

#include <QApplication>
#include <QIcon>

void SetApplicationIcon()
{
    // The images live in the core library, whose resources are linked only when named.
    Q_INIT_RESOURCE(resources);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/lexorn-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/lexorn-32.png"), QSize(32, 32));
    QApplication::setWindowIcon(icon);
}
