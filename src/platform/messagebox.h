#pragma once

#include <QString>

#include <functional>

namespace platform {

// Styles and answers keep the values the program's callers are written against.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

struct MessageBoxRequest
{
    QString prompt;
    int style = vbOKOnly;
    QString title; // already resolved: the program title when the caller gave none
};

using MessageBoxPresenter = std::function<int(const MessageBoxRequest &)>;

// Modal message box; an empty title shows the program title.
int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = {});

// Tests install a presenter that records each box and answers it; an empty one restores
// QMessageBox.
void setMessageBoxPresenter(MessageBoxPresenter presenter);

} // namespace platform
