#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace platform {

// Opens an address with the user's default handler (the web browser for http), without waiting.
void ShellExecute(const QString &address);

// Tests replace the opener to record the address; an empty one restores the desktop's handler.
void setBrowserOpener(std::function<void(const QString &)> opener);

// Brings a window to the front.
void SetForegroundWindow(QWidget *window);

} // namespace platform
