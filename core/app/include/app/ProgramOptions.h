// The command line of the window program, Velmorix_I2C_Comm, on every front end: the bridge to
// use, and the help and version texts, which need no display.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

struct ProgramOptions {
    // The bridge named by --bridge, in the forms WDU_SelectBridge takes; none: VELMORIX_BRIDGE.
    std::optional<std::string> bridge;
    bool help = false;
    bool version = false;
    // --bridge-forms: the bridge forms of this build, one a line (for the shell completion).
    bool bridgeForms = false;
    // The arguments left for the toolkit (its own single-dash options such as -platform), in
    // their order.
    std::vector<std::string> rest;
};

// Reads the arguments after the program name: --bridge FORM (or --bridge=FORM; the last one
// counts), -h/--help, --version and --bridge-forms. Anything else that starts with "--" is refused,
// as is
// --bridge without its form: nullopt with `error` saying why in one line.
std::optional<ProgramOptions> parseProgramOptions(const std::vector<std::string>& args,
                                                  std::string& error);

// The --help text, listing `forms` (WDU_BridgeForms) as the bridge's forms. Never fails.
std::string programUsage(const std::string& forms);

}  // namespace app
