#pragma once

#include <QList>
#include <QtGlobal>

// Slot i holds i; a hot key's identifier is the index of its slot. Slot 0 names no hot key.
extern QList<qint32> HotKeyIds;
// The slot of Windows+T, the first hot key added.
inline constexpr qint32 TranslateHotKeyId = 1;

// Registers the program's one hot key, Windows+T, on the main window.
void RegisterHotKeys();
void AddHotKey(qint32 modifiers, qint32 key);

// What the main window does with a hot key message.
void OnHotKey(quint8 id);
