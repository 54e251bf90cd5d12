#include "platform/frame.h"

#include "platform/win/win.h"
#include "platform/x11/x11.h"

namespace platform {

QMargins FrameExtents(QWidget *window)
{
    return win::Active() ? win::FrameExtents(window) : x11::FrameExtents(window);
}

void KeepOutOfTaskbar(QWidget *dialog, QWidget *hiddenOwner)
{
    if (win::Active())
        win::SetOwner(dialog, hiddenOwner);
}

} // namespace platform
