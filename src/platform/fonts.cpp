#include "platform/fonts.h"

#include "platform/fontconfig/fontconfig.h"

namespace platform {

void PrepareFontsMeanwhile()
{
    fontconfig::PrepareMeanwhile();
}

} // namespace platform
