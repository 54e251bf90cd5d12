#pragma once

#include "platform/messagebox.h"

#include <QList>
#include <QStringList>

#include <functional>

// Runs the call, catching the end of the program it may reach: -1 when it returned, else the exit
// status the program ended with.
int endingOf(const std::function<void()> &call);

// While alive, stands in for the user: records every message box instead of showing it and
// answers it, with the next scripted answer or OK / Yes by default (`onShow` runs for each box,
// e.g. to act meanwhile), and records every address handed to the browser.
class Recorder
{
    Q_DISABLE_COPY(Recorder)

public:
    Recorder();
    ~Recorder();

    QStringList seen; // each box as "TITLE STYLE TEXT"
    QList<int> answers;
    std::function<void(const platform::MessageBoxRequest &)> onShow;
    QStringList opened; // browser addresses
};
