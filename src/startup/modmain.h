#pragma once

// Start-up, the settings download and the one orderly way out.
void Main();

// Signs in and fills SessionSettings. True once loaded; false after the service rejected the
// credentials and the user signed in again. Every other failure ends the program inside it.
bool LoadSettings();

// Removes the tray icon, closes the windows and ends the process: status 0 after the user's Exit
// or Cancel, 1 after a settings failure.
[[noreturn]] void Shutdown(int exitStatus = 0);
