#pragma once

#include <QObject>

// What the user asks for in the windows. The windows only say it; the floor above them, which
// knows the modules, answers (see AnswerUserRequests).
class UserRequests : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(UserRequests)

public:
    static UserRequests &instance();

Q_SIGNALS:
    void TranslateAsked(); // Translate in the translation window
    void ShowAsked();      // the translation window, from the tray icon's double click
    void RaiseAsked();     // the translation window, brought up from the tray menu
    void AboutAsked();
    void ExitAsked();              // the user's Exit or Cancel
    void HotKeyPressed(quint8 id); // a hot key message reached the main window

private:
    UserRequests() = default;
};
