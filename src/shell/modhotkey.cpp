#include "shell/modhotkey.h"

#include "platform/hotkey.h"
#include "platform/pump.h"
#include "window/frmmain.h"
#include "window/frmtranslatetext.h"

using namespace platform;

void RegisterHotKeys()
{
    HotKeyIds = {0};
    AddHotKey(MOD_WIN, 'T');
}

void AddHotKey(qint32 modifiers, qint32 key)
{
    HotKeyIds.append(qint32(HotKeyIds.size()));
    const qint32 id = HotKeyIds.last();
    // Touching the main window loads it, and loading it hooks it, before any hot key can arrive.
    QWidget *window = &frmMain::instance();
    // Another program may hold the combination; the tray icon then remains the way in.
    RegisterHotKey(window, id, unsigned(modifiers), unsigned(key));
}

void OnHotKey(quint8 id)
{
    DoEvents();
    if (HotKeyIds.size() <= TranslateHotKeyId || id != quint8(HotKeyIds.at(TranslateHotKeyId)))
        return;
    frmTranslateText &window = frmTranslateText::instance();
    window.Form_Resize();
    // Showing a window that is open already brings it up.
    window.show();
    window.raise();
    window.activateWindow();
}
