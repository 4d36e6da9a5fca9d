// Runs one script without a window: the script window model of the program, driven by a
// headless host, with the program's main window and GPIO panel models behind it.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/PassTally.h"
#include "tools/RunnerOptions.h"

namespace tools {

// Exit statuses of velmorix-script.
enum RunnerExit { kAllPassed = 0, kComparisonFailed = 1, kUsageOrLoad = 2, kNoBoard = 3 };

// What one run gave.
struct ScriptRunResult {
    bool loaded = false;             // false: the script or the bridge was refused before the run
    std::vector<PassResult> passes;  // every pass whose counts the window showed
    int passed = 0;                  // sums over the passes
    int failed = 0;
    std::string boardFault;  // "Line 002: board left" when the bridge board was missing or left
    // Why the run could not be had, as errno: for a script not loaded the errno of its reading
    // (ENOENT, EACCES) or EINVAL for a script, bridge or option refused; for a board fault the
    // open failure's (ENODEV, or ENOENT, EACCES, EOPNOTSUPP for a Linux adapter); else 0.
    int errnoValue = 0;
    bool interrupted = false;       // stop() ended the run
    int exitStatus = kUsageOrLoad;  // what velmorix-script exits with
};

// Loads and runs the script as the options say, tallying each pass, and writes the outputs the
// options ask for ("-" to out). stop (may be empty) is asked at every yield of the run; true ends
// it at the next row. Errors and messages are reported as lines on err; nothing is thrown.
ScriptRunResult runScriptPasses(const RunnerOptions& options, std::ostream& out, std::ostream& err,
                                bool progress, const std::function<bool()>& stop);

// velmorix-script: runScriptPasses, then the summary lines on out; returns the exit status.
int runScript(const RunnerOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace tools
