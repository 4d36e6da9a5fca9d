#include "EmulatorOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace emulator {

namespace {

bool readCount(const std::string& text, std::uint32_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<EmulatorOptions> parseEmulatorOptions(const std::vector<std::string>& args,
                                                    std::string& error) {
    EmulatorOptions options;
    // Everything after "--" belongs to the child, options that look like ours included.
    const auto separator = std::find(args.begin(), args.end(), "--");
    if (separator != args.end()) {
        options.command.assign(separator + 1, args.end());
    }
    std::string unplugAt, unplugAfter, replugAfter, timeout;
    CLI::App parser("bridge-emulator");
    parser.set_help_flag();
    parser.add_flag("-h,--help", options.help);
    parser.add_option("--sim", options.simPath);
    auto* unplugAtOption = parser.add_option("--unplug-at-ms", unplugAt);
    auto* unplugAfterOption = parser.add_option("--unplug-after-transfers", unplugAfter);
    auto* replugOption = parser.add_option("--replug-after-ms", replugAfter);
    auto* timeoutOption = parser.add_option("--timeout", timeout);
    std::vector<std::string> ours(args.begin(), separator);
    std::reverse(ours.begin(), ours.end());  // the parser takes the arguments last first
    try {
        parser.parse(ours);
    } catch (const CLI::ParseError& e) {
        error = oneLine(e.what());
        return std::nullopt;
    }
    if (options.help) {
        return options;
    }
    std::uint32_t value = 0;
    if (unplugAtOption->count() > 0) {
        if (!readCount(unplugAt, value)) {
            error = "--unplug-at-ms takes milliseconds, not \"" + unplugAt + "\"";
            return std::nullopt;
        }
        options.unplugAtMs = value;
    }
    if (unplugAfterOption->count() > 0) {
        if (!readCount(unplugAfter, value) || value == 0) {
            error =
                "--unplug-after-transfers takes a count of at least 1, not \"" + unplugAfter + "\"";
            return std::nullopt;
        }
        options.unplugAfterTransfers = value;
    }
    if (replugOption->count() > 0) {
        if (!readCount(replugAfter, value)) {
            error = "--replug-after-ms takes milliseconds, not \"" + replugAfter + "\"";
            return std::nullopt;
        }
        if (!options.unplugAtMs && !options.unplugAfterTransfers) {
            error = "--replug-after-ms needs --unplug-at-ms or --unplug-after-transfers";
            return std::nullopt;
        }
        options.replugAfterMs = value;
    }
    if (timeoutOption->count() > 0) {
        double seconds = 0;
        const auto [end, ec] =
            std::from_chars(timeout.data(), timeout.data() + timeout.size(), seconds);
        if (ec != std::errc() || end != timeout.data() + timeout.size() || !(seconds > 0) ||
            !std::isfinite(seconds)) {
            error = "--timeout takes seconds above 0, not \"" + timeout + "\"";
            return std::nullopt;
        }
        options.timeoutSeconds = seconds;
    }
    if (options.command.empty()) {
        error = "no program given: bridge-emulator [options] -- PROGRAM [ARGS...]";
        return std::nullopt;
    }
    return options;
}

const char* emulatorUsage() {
    return R"(Usage: bridge-emulator [options] -- PROGRAM [ARGS...]

Plugs an emulated bridge board into an emulated USB bus (umockdev) and runs PROGRAM on it:
PROGRAM's own libusb finds the board and the board answers as the simulated one does.
The exit status is PROGRAM's (128 + signal when a signal ended it).

Options:
  --sim FILE                    the board described by a simulation file (JSON); the
                                built-in demo board without it
  --unplug-at-ms T              pull the cable T ms after PROGRAM started
  --unplug-after-transfers K    pull the cable right after the K-th bulk transfer
  --replug-after-ms R           plug the cable back in R ms after it was pulled
  --timeout S                   kill PROGRAM when it has not ended after S seconds
                                (exit status 137)
  -h, --help                    this text

Exit statuses of its own: 125 the emulation failed, 126 PROGRAM cannot be run, 127 PROGRAM
was not found. Needs umockdev (libumockdev-preload.so.0): the emulator runs itself and
PROGRAM under its preload library.
)";
}

}  // namespace emulator
