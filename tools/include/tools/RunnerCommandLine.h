// The command line of velmorix-script.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runner/RunnerOptions.h"

namespace tools {

// Reads the arguments (without the program name); on a usage error returns nothing and sets
// error to a one-line reason.
std::optional<runner::RunnerOptions> parseRunnerOptions(const std::vector<std::string>& args,
                                                        std::string& error);

// The usage text printed by --help, with the bridge forms of this build.
std::string runnerUsage();

}  // namespace tools
