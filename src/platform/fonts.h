#pragma once

namespace platform {

// The system's font configuration is read the first time a font is looked up, and the splash
// screen looks one up before the tray icon can be shown. Started before Qt's own start, that work
// overlaps it on the other core. Nothing to do where the system keeps no such configuration.
void PrepareFontsMeanwhile();

} // namespace platform
