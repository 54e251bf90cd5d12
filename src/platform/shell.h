#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace platform {

// Opens an address, exactly as given, with the user's handler (xdg/: BROWSER, else xdg-open;
// win/: ShellExecuteW), without waiting. Only http or https with a host,
// or mailto:, without control characters, is opened; any other address is logged and left alone.
void ShellExecute(const QString &address);

// Tests replace the opener to record the address; an empty one restores the desktop's handler.
void setBrowserOpener(std::function<void(const QString &)> opener);

// Brings a window to the front.
void SetForegroundWindow(QWidget *window);

} // namespace platform
