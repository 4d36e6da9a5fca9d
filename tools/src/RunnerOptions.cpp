#include "tools/RunnerOptions.h"

#include <charconv>

namespace tools {

namespace {

bool isHexText(const std::string& text) {
    if (text.empty() || text.size() > 4) {
        return false;
    }
    for (char c : text) {
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<RunnerOptions> parseRunnerOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    RunnerOptions options;
    bool haveScript = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--bridge") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text != "usb" && text != "sim" && text.rfind("sim:", 0) != 0) {
                error = "--bridge takes usb, sim or sim:FILE, not \"" + text + "\"";
                return std::nullopt;
            }
            if (text == "sim:") {
                error = "--bridge sim: needs a file name";
                return std::nullopt;
            }
            options.bridge = text;
        } else if (arg == "--address") {
            if (!value(options.address)) {
                return std::nullopt;
            }
            if (!isHexText(options.address)) {
                error = "--address takes a hex address such as 60, not \"" + options.address + "\"";
                return std::nullopt;
            }
        } else if (arg == "--loop") {
            if (!value(text)) {
                return std::nullopt;
            }
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), options.loops);
            if (ec != std::errc() || end != text.data() + text.size() || options.loops < 1) {
                error = "--loop takes a number of passes of at least 1, not \"" + text + "\"";
                return std::nullopt;
            }
        } else if (arg == "--abort-on-fail") {
            options.abortOnFail = true;
        } else if (arg == "--sample") {
            options.sample = true;
        } else if (arg == "--pause") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text != "continue" && text != "abort") {
                error = "--pause takes continue or abort, not \"" + text + "\"";
                return std::nullopt;
            }
            options.pauseContinues = text == "continue";
        } else if (arg == "--record") {
            if (!value(options.recordPath)) {
                return std::nullopt;
            }
        } else if (arg == "--append") {
            options.append = true;
        } else if (arg == "--grid") {
            if (!value(options.gridPath)) {
                return std::nullopt;
            }
        } else if (arg == "--log") {
            if (!value(options.logPath)) {
                return std::nullopt;
            }
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (haveScript) {
            error =
                "only one script can be run, got \"" + options.script + "\" and \"" + arg + "\"";
            return std::nullopt;
        } else {
            options.script = arg;
            haveScript = true;
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (!haveScript) {
        error = "no script given (see --help)";
        return std::nullopt;
    }
    if (options.append && options.recordPath.empty()) {
        error = "--append needs --record FILE";
        return std::nullopt;
    }
    return options;
}

const char* runnerUsage() {
    return R"(NAME
    velmorix-script - run a bridge-board script without a window

SYNOPSIS
    velmorix-script [options] SCRIPT

DESCRIPTION
    Loads SCRIPT into a script window model, runs its main section once (Run All Steps) or
    several times (Loop Cont), and reports the pass and fail counts of its read operations.
    The loader, the engine and the recording are the very ones of the script window.

OPTIONS
    --bridge usb|sim|sim:FILE   which bridge (default: VELMORIX_BRIDGE, else usb)
    --address HEX               default I2C write address, as typed into the script window's
                                address box followed by Enter (default 60)
    --loop N                    Loop Cont for N passes (default: one Run All Steps)
    --abort-on-fail             tick "Abort On fail"
    --sample                    tick interrupt sampling "Enable" before the run
    --pause continue|abort      the answer to key-press pause rows (default continue)
    --record FILE [--append]    after the run: update the expected data and Write to Disk to FILE
    --grid FILE|-               after the run, the grid as tab-separated text: a header line
                                Line, I2C Adr, Reg Adr, Data_Wr, Data_Rd, Act_Rd, Operation,
                                Comment, Result, then one line per row; Result is pass (green
                                Act_Rd), fail (red Act_Rd) or empty
    --log FILE|-                the program log text, as the main window's log would hold it
    --trace                     every USB transfer to stderr: endpoint, direction, bytes in hex
    --help, --version

OUTPUT
    Message boxes go to stderr as one line each, "message: TEXT"; an OK/Cancel box is answered
    as --pause says. While stderr is a terminal a progress line shows the row being run. The
    last line on stdout is "N passed, N failed".

EXIT STATUS
    0   nothing failed
    1   a read or GPIO comparison failed
    2   usage error, the script cannot be loaded, or an output file (--record, --grid,
        --log) cannot be written
    3   no bridge board was attached
)";
}

}  // namespace tools
