// velmorix-script --check: a script read as a run would read it, with nothing sent, and every
// row whose text the loader reads differently from how it looks listed, so that a lab can check
// its scripts before a board is free.
#pragma once

#include <ostream>

#include "runner/RunnerOptions.h"

namespace runner {

// Loads options.script with the default address options.address, as a run does, and writes one
// line per finding to out ("FILE:LINE: reads WHAT, because WHY") and a count last; with
// options.junitPath, a JUnit report with one test case per row, failed where it has findings.
// Returns 0 without findings, 1 with some, 2 (reason on err) when the script cannot be read or
// the report cannot be written.
int checkScript(const RunnerOptions& options, std::ostream& out, std::ostream& err);

}  // namespace runner
