#pragma once

#include <QByteArray>

#include <optional>

// Answers --help, --version and a command line it does not take before the GUI starts, so that
// they work without a display: the exit status when the program is to end, none when it is to run,
// with request set to what it asks of a Lexorn that runs already: "show", "selection", or nothing
// for a session manager's restore.
std::optional<int> answerCommandLine(int argc, char *argv[], QByteArray &request);
