#pragma once

namespace platform {

// One pass of the message pump: dispatches what is waiting and returns.
void DoEvents();

} // namespace platform
