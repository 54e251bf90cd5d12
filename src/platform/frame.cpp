#include "platform/frame.h"

#include "platform/x11/x11.h"

namespace platform {

QMargins FrameExtents(QWidget *window)
{
    return x11::FrameExtents(window);
}

} // namespace platform
