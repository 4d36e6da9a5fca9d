// The command line of bridge-emulator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emulator {

// Exit statuses of the emulator's own failures, as timeout(1) and env(1) use them.
inline constexpr int kEmulatorFailed = 125;
inline constexpr int kCannotRun = 126;
inline constexpr int kNotFound = 127;

struct EmulatorOptions {
    bool help = false;
    std::string simPath;                                // empty = the built-in simulation
    std::optional<std::uint32_t> unplugAtMs;            // after the child started
    std::optional<std::uint32_t> unplugAfterTransfers;  // bulk transfers
    std::optional<std::uint32_t> replugAfterMs;         // after the unplug
    std::optional<double> timeoutSeconds;
    std::vector<std::string> command;  // the program and its arguments
};

// Parses the arguments after the program name; nullopt with a one-line error when they are bad.
std::optional<EmulatorOptions> parseEmulatorOptions(const std::vector<std::string>& args,
                                                    std::string& error);
// The --help text.
const char* emulatorUsage();

}  // namespace emulator
