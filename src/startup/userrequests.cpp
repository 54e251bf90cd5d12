#include "startup/userrequests.h"

#include "info/frmabout.h"
#include "platform/frame.h"
#include "platform/shell.h"
#include "session/userrequests.h"
#include "shell/frmtrayicon.h"
#include "shell/modhotkey.h"
#include "shell/translatecommand.h"
#include "startup/modmain.h"
#include "window/frmtranslatetext.h"

void AnswerUserRequests()
{
    UserRequests &asked = UserRequests::instance();
    QObject::connect(&asked, &UserRequests::TranslateAsked,
                     [] { TranslateCommand(frmTranslateText::instance()); });
    QObject::connect(&asked, &UserRequests::ShowAsked, [] {
        frmTranslateText &window = frmTranslateText::instance();
        window.show();
        platform::SetForegroundWindow(&window);
    });
    QObject::connect(&asked, &UserRequests::RaiseAsked, [] {
        // Showing a window that is open already brings it up.
        frmTranslateText &window = frmTranslateText::instance();
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&asked, &UserRequests::AboutAsked, [] {
        // An About box already open is brought up rather than opened twice.
        const bool open = frmAbout::exists();
        frmAbout &about = frmAbout::instance();
        if (!open)
            platform::KeepOutOfTaskbar(&about, &frmTrayIcon::instance());
        about.show();
        about.raise();
        about.activateWindow();
    });
    QObject::connect(&asked, &UserRequests::ExitAsked, [] { Shutdown(); });
    QObject::connect(&asked, &UserRequests::HotKeyPressed, &OnHotKey);
}
