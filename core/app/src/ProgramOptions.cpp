#include "app/ProgramOptions.h"

#include <string_view>

namespace app {

std::optional<ProgramOptions> parseProgramOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
    constexpr std::string_view kBridge = "--bridge";
    ProgramOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--bridge-forms") {
            options.bridgeForms = true;
        } else if (arg == kBridge) {
            if (i + 1 == args.size() || args[i + 1].empty() || args[i + 1][0] == '-') {
                error = "--bridge needs a bridge such as sim (see --help)";
                return std::nullopt;
            }
            options.bridge = args[++i];
        } else if (arg.starts_with(std::string(kBridge) + "=")) {
            options.bridge = arg.substr(kBridge.size() + 1);
            if (options.bridge->empty()) {
                error = "--bridge needs a bridge such as sim (see --help)";
                return std::nullopt;
            }
        } else if (arg.starts_with("--")) {
            error = "unknown option " + arg + " (see --help)";
            return std::nullopt;
        } else {
            options.rest.push_back(arg);
        }
    }
    return options;
}

std::string programUsage(const std::string& forms) {
    return R"(NAME
    Velmorix_I2C_Comm - register console, script processor and GPIO panel for a USB-to-I2C
    bridge board

SYNOPSIS
    Velmorix_I2C_Comm [--bridge FORM]
    Velmorix_I2C_Comm --help | --version

OPTIONS
    --bridge )" +
           forms + R"(
                  which bridge board to use: usb for a real one, sim for the built-in
                  simulated one; takes precedence over VELMORIX_BRIDGE (default: usb)
    --bridge-forms
                  the forms --bridge takes in this build, one a line
    -h, --help    this text
    --version     the version

    Options of the window toolkit (such as -platform offscreen) are passed on to it.

EXIT STATUS
    0   the program ended normally
    2   a usage error, or a bridge that cannot be had (the reason is on stderr)
)";
}

}  // namespace app
