#pragma once

#include <functional>

namespace platform {

// One Lexorn per user: the first start holds a lock in the user's runtime folder and listens on a
// local socket beside it. A later start only connects: the connection asks to show the window.

// True when no other Lexorn runs for this user; this process is then the one until it ends. Needs
// no application object, so that a later start can end before it opens the display.
bool ClaimInstance();

// In a later start, with a QCoreApplication: asks the running Lexorn to show its window. False
// when it does not answer.
bool AskRunningInstance();

// In the one Lexorn, once QApplication exists: runs showRequested from the event loop for each
// later start.
void ListenForLaterStarts(std::function<void()> showRequested);

} // namespace platform
