#pragma once

// The fontconfig backend: where Qt finds its fonts through fontconfig (every Qt platform on Linux).
// Where the build has no fontconfig, none/fontconfig_none.cpp answers for it.
namespace platform::fontconfig {

// A build with fontconfig. It has nothing to find at run time: built is active.
inline constexpr bool Built = LEXORN_FONTCONFIG_BUILT;

// Starts reading fontconfig's configuration on a thread of its own, and returns at once.
void PrepareMeanwhile();

} // namespace platform::fontconfig
