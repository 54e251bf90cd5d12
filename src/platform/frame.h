#pragma once

#include <QMargins>

class QWidget;

namespace platform {

// The frame the window manager puts around a top-level window of the usual kind, in the window's
// pixels. Empty without a window manager that tells it, and off X11.
QMargins FrameExtents(QWidget *window);

// A dialog that the taskbar does not list: Windows lists every top-level window that no other
// window owns, so the dialog gets an owner, one of the program's hidden windows. Elsewhere the
// dialog's type is enough.
void KeepOutOfTaskbar(QWidget *dialog, QWidget *hiddenOwner);

} // namespace platform
