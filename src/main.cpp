#include "platform/identity.h"
#include "startup/modmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::AppTitle());
    QApplication::setOrganizationName(platform::CompanyName());
    // The program lives in the tray: closing its last visible window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Main();
    return QApplication::exec();
}
