#include "platform/fontconfig/fontconfig.h"

// Stands in for the fontconfig backend in a build without it: Windows, whose fonts Qt asks
// Windows for.
namespace platform::fontconfig {

void PrepareMeanwhile() {}

} // namespace platform::fontconfig
