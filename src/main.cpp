#include "platform/identity.h"
#include "startup/modmain.h"

#include <QApplication>
#include <QFont>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::AppTitle());
    QApplication::setOrganizationName(platform::CompanyName());
    // The windows are laid out in twips for the classic 8-point dialog font.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));
    // The program lives in the tray: closing its last visible window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Main();
    return QApplication::exec();
}
