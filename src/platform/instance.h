#pragma once

#include <QByteArray>

#include <functional>

namespace platform {

// One Lexorn per user: the first start holds a lock in the user's runtime folder and listens on a
// local socket beside it (on Windows, a named mutex and a named pipe, per user and session). A
// later start only connects and sends its request, one word.

// True when no other Lexorn runs for this user; this process is then the one until it ends. Needs
// no application object, so that a later start can end before it opens the display.
bool ClaimInstance();

// In a later start, with a QCoreApplication: hands the running Lexorn the request ("show",
// "selection"). False when it does not answer.
bool AskRunningInstance(const QByteArray &request);

// In the one Lexorn, once QApplication exists: runs requested from the event loop with each later
// start's request.
void ListenForLaterStarts(std::function<void(const QByteArray &)> requested);

} // namespace platform
