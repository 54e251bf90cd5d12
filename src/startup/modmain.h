#pragma once

#include <functional>

// Start-up, the settings download and the one orderly way out.
void Main();

// Runs the call now when Main has signed in and prepared the windows. Until then the call waits,
// with the others asked for meanwhile, and Main's end posts them in turn; they go with the program
// if it ends first.
void AfterSignIn(std::function<void()> call);

// Signs in and fills SessionSettings. True once loaded; false after the service rejected the
// credentials and the user signed in again. Every other failure ends the program inside it.
bool LoadSettings();

// Removes the tray icon, closes the windows and ends the process: status 0 after the user's Exit
// or Cancel, 1 after a settings failure.
[[noreturn]] void Shutdown(int exitStatus = 0);
