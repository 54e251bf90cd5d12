#include "platform/fonts.h"
#include "platform/identity.h"
#include "platform/instance.h"
#include "platform/pump.h"
#include "session/appicon.h"
#include "shell/modhotkey.h"
#include "shell/modselection.h"
#include "startup/commandline.h"
#include "startup/modmain.h"
#include "startup/userrequests.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QThreadPool>

#include <cstdio>

int main(int argc, char *argv[])
{
    QByteArray request;
    if (const std::optional<int> status = answerCommandLine(argc, argv, request))
        return *status;
    // Before the display is opened: a later start costs the user a blink, not a second tray icon.
    if (!platform::ClaimInstance()) {
        if (request.isEmpty()) // a session manager's restore of the Lexorn that runs
            return 0;
        QCoreApplication core(argc, argv);
        if (platform::AskRunningInstance(request))
            return 0;
        std::fputs("lexorn: the Lexorn that runs does not answer\n", stderr);
        return 1;
    }
    platform::PrepareFontsMeanwhile();
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::AppTitle());
    QApplication::setOrganizationName(platform::CompanyName());
    SetApplicationIcon();
    AnswerUserRequests();
    // The windows are laid out in twips for the classic 8-point dialog font.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));
    // Qt then builds its font list from fontconfig's, meanwhile Main reads the credentials and
    // opens the way to the service; the splash screen is the first to need it.
    QThreadPool::globalInstance()->start([] { QFontDatabase::families(); });
    // The program lives in the tray: closing its last visible window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // A later start, such as the desktop entry's actions, asks for what Super+T does, or for a
    // translation of the selection, once there is a session to do it with; the Windows installer
    // asks Lexorn to end before it replaces it, signed in or not.
    platform::ListenForLaterStarts([](const QByteArray &asked) {
        if (asked == "exit")
            Shutdown(0);
        AfterSignIn([asked] {
            asked == "selection" ? TranslateSelection() : OnHotKey(quint8(TranslateHotKeyId));
        });
    });
    Main();
    if (request == "selection")
        platform::PostBetweenTransfers(TranslateSelection); // signed in by now
    return QApplication::exec();
}
