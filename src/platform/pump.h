#pragma once

#include <QtGlobal>

#include <functional>

namespace platform {

// One pass of the message pump: dispatches what is waiting and returns.
void DoEvents();

// Marks a transfer that waits for its answer. User input waits meanwhile, and so does what reaches
// the program from outside its windows (a tray's notification over D-Bus).
class TransferInProgress
{
    Q_DISABLE_COPY(TransferInProgress)

public:
    TransferInProgress();
    ~TransferInProgress();
};

// Runs the call now, or once no transfer is in progress.
void RunBetweenTransfers(std::function<void()> call);

// Runs the call from the event loop once no transfer is in progress, after the calls posted
// before it: what comes from outside the program's windows (a tray, a later start, the desktop's
// portal) waits out a transfer as the user's input does, in the order it came.
void PostBetweenTransfers(std::function<void()> call);

} // namespace platform
