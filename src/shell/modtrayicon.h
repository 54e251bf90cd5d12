#pragma once

#include "platform/trayicon.h"

class QIcon;
class QWidget;

// The program's one notification-area icon, identifier 1, owned by the tray window.
extern platform::NOTIFYICONDATA TrayIconData;

void AddTrayIcon(const QIcon &icon, QWidget *window);
void RemoveTrayIcon(QWidget *window);
