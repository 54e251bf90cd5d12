#pragma once

// The process's exit status, for the server and the administration commands alike.
enum class ExitCode { Success = 0, Failure = 1, BadUsage = 2 };
