#include "platform/fontconfig/fontconfig.h"

#include <thread>

#include <fontconfig/fontconfig.h>

namespace platform::fontconfig {

void PrepareMeanwhile()
{
    std::thread(FcInit).detach();
}

} // namespace platform::fontconfig
