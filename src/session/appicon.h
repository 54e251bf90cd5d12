#pragma once

// Gives the application its icon, which every window and the tray icon then show.
void SetApplicationIcon();
