#include "shell/userrequests.h"

#include "session/userrequests.h"
#include "shell/translatecommand.h"
#include "window/frmtranslatetext.h"

void AnswerUserRequests()
{
    UserRequests &asked = UserRequests::instance();
    QObject::connect(&asked, &UserRequests::TranslateAsked,
                     [] { TranslateCommand(frmTranslateText::instance()); });
}
