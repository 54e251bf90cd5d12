#pragma once

#include <QMargins>
#include <QString>

#include <functional>
#include <memory>

class QSettings;
class QWidget;

// The Windows backend: the Win32 calls themselves. Where the build is not for Windows,
// none/win_none.cpp answers for it.
namespace platform::win {

// A build for Windows: the registry, the named pipe, ShellExecuteW and Windows' own tray.
inline constexpr bool Built = LEXORN_WIN_BUILT;
// Qt shows the windows through Windows' own platform (not offscreen, say): they have frames.
bool Active();
// ::RegisterHotKey on the window's native handle; WM_HOTKEY comes back through a native event
// filter to the window's current procedure.
bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed);
bool UnregisterHotKey(QWidget *window, int id);
// The frame Windows will put around the window, from its styles at its monitor's DPI. Active
// only.
QMargins FrameExtents(QWidget *window);
// Makes the window owned by the other, which keeps it out of the taskbar. Active only.
void SetOwner(QWidget *window, QWidget *owner);
// One Lexorn per user and session: a named mutex, held until the process ends however it ends.
// False when another process holds it.
bool ClaimInstance();
// The named pipe of the Lexorn that holds it.
QString InstanceServerName();
// The user's own registry key for the application, private to the user by itself.
std::unique_ptr<QSettings> OpenSettings(const QString &organization, const QString &application);
// ShellExecuteW with "open": the user's handler for the address, exactly as given.
bool ShellExecute(const QString &address);

} // namespace platform::win
