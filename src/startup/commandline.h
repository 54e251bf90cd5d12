#pragma once

#include <optional>

// Answers --help, --version and a command line it does not take before the GUI starts, so that
// they work without a display: the exit status when the program is to end, none when it is to run,
// with selection set when it asks to translate the selection.
std::optional<int> answerCommandLine(int argc, char *argv[], bool &selection);
