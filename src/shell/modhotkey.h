#pragma once

#include "window/modfrmmain.h"

// Registers the program's one hot key, Windows+T, on the main window.
void RegisterHotKeys();
void AddHotKey(qint32 modifiers, qint32 key);

// What the main window does with a hot key message.
void OnHotKey(quint8 id);
