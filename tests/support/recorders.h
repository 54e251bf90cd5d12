#pragma once

#include "platform/messagebox.h"

#include <QList>

#include <functional>

// Thrown by the test process ender: the code path that ends the program unwinds to the test.
struct ProcessEnded
{
    int status;
};

// While alive, ending the process throws ProcessEnded instead of exiting.
class ProcessEndTrap
{
public:
    ProcessEndTrap();
    ~ProcessEndTrap();
    ProcessEndTrap(const ProcessEndTrap &) = delete;
    ProcessEndTrap &operator=(const ProcessEndTrap &) = delete;
};

// Runs the call with a ProcessEndTrap: -1 when it returned, else the status the program ended with.
int endingOf(const std::function<void()> &call);

// While alive, records every message box instead of showing it and answers it: with the next
// scripted answer, or OK / Yes by default. `onShow` runs for each box (e.g. to act meanwhile).
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    QList<platform::MessageBoxRequest> shown;
    QStringList prompts() const; // the texts of the boxes shown, in order
    QStringList seen() const;    // each box as "TITLE STYLE TEXT"
    QList<int> answers;
    std::function<void(const platform::MessageBoxRequest &)> onShow;
};

// While alive, records every address handed to the user's browser.
class BrowserRecorder
{
public:
    BrowserRecorder();
    ~BrowserRecorder();
    BrowserRecorder(const BrowserRecorder &) = delete;
    BrowserRecorder &operator=(const BrowserRecorder &) = delete;

    QStringList opened;
};
