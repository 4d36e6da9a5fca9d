// Runs one script without a window: the script window model of the program, driven by a
// headless host, with the program's main window and GPIO panel models behind it.
#pragma once

#include <ostream>

#include "tools/RunnerOptions.h"

namespace tools {

// Exit statuses of velmorix-script.
enum RunnerExit { kAllPassed = 0, kComparisonFailed = 1, kUsageOrLoad = 2, kNoBoard = 3 };

// Loads and runs the script as the options say, writes the outputs, and returns the exit
// status. Errors are reported as one line on err; nothing is thrown.
int runScript(const RunnerOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace tools
