#pragma once

#include <QMargins>

class QWidget;

namespace platform {

// The frame the window manager puts around a top-level window of the usual kind, in the window's
// pixels. Empty without a window manager that tells it, and off X11.
QMargins FrameExtents(QWidget *window);

} // namespace platform
