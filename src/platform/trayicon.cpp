#include "platform/trayicon.h"

#include "platform/dbus/dbus.h"
#include "platform/pump.h"
#include "platform/win/win.h"
#include "platform/x11/x11.h"

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>
#include <vector>

namespace platform {
namespace {

struct ShellIcon
{
    QPointer<QWidget> owner;
    quint32 id = 0;
    quint32 callbackMessage = 0;
    bool notifies = false;
    QIcon image;
    QString tip;
    QPointer<QSystemTrayIcon> icon; // none until the desktop has a tray that can show it
};

std::vector<std::unique_ptr<ShellIcon>> &icons()
{
    static std::vector<std::unique_ptr<ShellIcon>> table;
    return table;
}

ShellIcon *findIcon(HWND owner, quint32 id)
{
    for (const auto &entry : icons()) {
        if (entry->owner == owner && entry->id == id)
            return entry.get();
    }
    return nullptr;
}

void forget(const ShellIcon *gone)
{
    auto &table = icons();
    std::erase_if(table, [gone](const auto &entry) { return entry.get() == gone; });
}

// Posted like the shell's own notifications, so that a handler may run a modal loop (the pop-up
// menu) without doing so inside Qt's mouse event delivery; held while a transfer waits, as the
// shell's own would be.
void notify(const ShellIcon &entry, UINT mouseMessage)
{
    if (!entry.notifies)
        return;
    QPointer<QWidget> owner = entry.owner;
    const quint32 id = entry.id;
    const quint32 message = entry.callbackMessage;
    PostBetweenTransfers([owner, id, message, mouseMessage] {
        if (owner)
            SendMessage(owner, message, id, LPARAM(mouseMessage));
    });
}

ShellIcon *onlyIcon()
{
    ShellIcon *found = nullptr;
    for (const auto &entry : icons()) {
        if (entry->icon) {
            if (found)
                return nullptr;
            found = entry.get();
        }
    }
    return found;
}

// The right button on an XEmbed icon, which Qt does not report.
void fromXEmbed(const QSystemTrayIcon *icon, bool released)
{
    const UINT mouseMessage = released ? WM_RBUTTONUP : WM_RBUTTONDBLCLK;
    for (const auto &entry : icons()) {
        if (icon ? entry->icon == icon : entry.get() == onlyIcon())
            notify(*entry, mouseMessage);
    }
}

void onActivated(ShellIcon &entry, QSystemTrayIcon::ActivationReason reason)
{
    const bool xembed = x11::XEmbedTrayInUse();
    if (xembed)
        x11::LearnXEmbedIcon(entry.icon);
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        // Windows' and XEmbed trays report a double click apart; a StatusNotifier host never
        // does, and its activation stands for one.
        notify(entry, xembed || win::Built ? WM_LBUTTONUP : WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::DoubleClick:
        notify(entry, WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::Context:
        notify(entry, WM_RBUTTONDOWN);
        // On XEmbed the release follows from the icon widget; StatusNotifier reports none.
        if (!xembed)
            notify(entry, WM_RBUTTONUP);
        break;
    case QSystemTrayIcon::MiddleClick:
        notify(entry, 0x208); // middle button up
        break;
    default:
        break;
    }
}

void apply(ShellIcon &entry, const NOTIFYICONDATA &data)
{
    if (data.uFlags & NIF_MESSAGE) {
        entry.notifies = true;
        entry.callbackMessage = data.uCallbackMessage;
    }
    if (data.uFlags & NIF_ICON)
        entry.image = data.hIcon;
    if (data.uFlags & NIF_TIP)
        entry.tip = QString::fromLatin1(data.szTip, qstrnlen(data.szTip, sizeof data.szTip));
    if (entry.icon) {
        entry.icon->setIcon(entry.image);
        entry.icon->setToolTip(entry.tip);
    }
}

void show(ShellIcon *entry)
{
    // No context menu of its own: the owning window decides what a right click does.
    entry->icon = new QSystemTrayIcon(entry->image, entry->owner);
    entry->icon->setToolTip(entry->tip);
    QObject::connect(entry->icon, &QObject::destroyed, qApp, [entry] { forget(entry); });
    QObject::connect(
        entry->icon, &QSystemTrayIcon::activated, entry->icon,
        [entry](QSystemTrayIcon::ActivationReason reason) { onActivated(*entry, reason); });
    entry->icon->show();
}

} // namespace

bool Shell_NotifyIcon(UINT message, NOTIFYICONDATA &data)
{
    if (!data.hWnd)
        return false;
    ShellIcon *existing = findIcon(data.hWnd, data.uID);
    switch (message) {
    case NIM_ADD: {
        if (existing)
            return false;
        x11::WatchXEmbedIcons(fromXEmbed);
        auto entry = std::make_unique<ShellIcon>();
        entry->owner = data.hWnd;
        entry->id = data.uID;
        ShellIcon *added = entry.get();
        icons().push_back(std::move(entry));
        apply(*added, data);
        dbus::WhenTrayCanShow(data.hWnd, [owner = data.hWnd, id = data.uID] {
            ShellIcon *waiting = findIcon(owner, id); // gone if deleted meanwhile
            if (waiting && !waiting->icon)
                show(waiting);
        });
        return true;
    }
    case NIM_MODIFY:
        if (!existing)
            return false;
        apply(*existing, data);
        return true;
    case NIM_DELETE:
        if (!existing)
            return false;
        if (existing->icon) {
            existing->icon->hide();
            delete existing->icon; // forgets the entry
        } else {
            forget(existing);
        }
        return true;
    default:
        return false;
    }
}

} // namespace platform
