#pragma once

#include <functional>

namespace platform {

// Ends the process at once with the given status; windows still open are discarded.
[[noreturn]] void EndProcess(int status);

// Tests install an ender that records the status and throws, so that the ending code path can be
// observed in-process. An empty one restores the real exit.
void setProcessEnder(std::function<void(int)> ender);

} // namespace platform
