// velmorix-script: runs a bridge-board script without a window, for nightly regression runs.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "board/BridgeForms.h"
#include "board/Version.h"
#include "runner/ScriptCheck.h"
#include "runner/ScriptRunner.h"
#include "tools/RunnerCommandLine.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = tools::parseRunnerOptions(args, error);
    if (!options) {
        std::cerr << "velmorix-script: " << error << '\n';
        return runner::kUsageOrLoad;
    }
    if (options->help) {
        std::cout << tools::runnerUsage();
        return 0;
    }
    if (options->version) {
        std::cout << "velmorix-script " << velmorix::kVersionText << '\n';
        return 0;
    }
    if (options->bridgeForms) {
        std::cout << board::bridgeFormLines();
        return 0;
    }
    if (options->check) {
        return runner::checkScript(*options, std::cout, std::cerr);
    }
    std::ios::sync_with_stdio(false);
    return runner::runScript(*options, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
