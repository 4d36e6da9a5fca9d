#include "tools/RunnerCommandLine.h"

#include <CLI/CLI.hpp>
#include <charconv>

#include "board/HexText.h"
#include "wd_utils.h"

namespace tools {

namespace {

// The parser's reasons may span lines; a usage error is one line on stderr.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<runner::RunnerOptions> parseRunnerOptions(const std::vector<std::string>& args,
                                                        std::string& error) {
    runner::RunnerOptions options;
    std::vector<std::string> scripts;
    std::string bridge;
    std::string loop;
    std::string pause;
    // Values are taken as text and checked below, so that each refusal names the option in
    // this program's words; the help text is this program's own, not the parser's.
    CLI::App parser("velmorix-script");
    parser.set_help_flag();
    parser.allow_extras();
    parser.add_flag("-h,--help", options.help);
    parser.add_flag("--version", options.version);
    parser.add_flag("--bridge-forms", options.bridgeForms);
    // The layer reads the bridge's name when the run starts; its reason names a bad one.
    auto* bridgeOption = parser.add_option("--bridge", bridge)->type_name(WDU_BridgeForms());
    parser.add_option("--address", options.address)->type_name("HEX");
    auto* loopOption = parser.add_option("--loop", loop)->type_name("N");
    parser.add_flag("--abort-on-fail", options.abortOnFail);
    parser.add_flag("--sample", options.sample);
    auto* pauseOption = parser.add_option("--pause", pause)->type_name("continue|abort");
    parser.add_option("--record", options.recordPath)->type_name("FILE");
    parser.add_flag("--append", options.append);
    parser.add_option("--grid", options.gridPath)->type_name("FILE|-");
    parser.add_option("--log", options.logPath)->type_name("FILE|-");
    parser.add_option("--junit", options.junitPath)->type_name("FILE");
    parser.add_flag("--trace", options.trace);
    parser.add_flag("--force", options.force);
    parser.add_option("--capture", options.capturePath)->type_name("FILE|-");
    parser.add_option("--capture-rate", options.captureRate)
        ->check(CLI::Range(client::kMinCaptureRateHz, client::kMaxCaptureRateHz))
        ->type_name("HZ");
    parser.add_flag("--check", options.check);
    parser.add_option("script", scripts);
    for (CLI::Option* option : parser.get_options()) {
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    parser.get_option("script")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    // CLI11's overload for a vector of arguments takes them last first, as argv[] would be
    // popped; so the arguments are handed over reversed.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        parser.parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = oneLine(e.what());
        return std::nullopt;
    }
    for (const std::string& extra : parser.remaining()) {
        if (extra.size() > 1 && extra[0] == '-') {
            error = "unknown option " + extra;
            return std::nullopt;
        }
        scripts.push_back(extra);
    }

    if (bridgeOption->count() > 0) {
        options.bridge = bridge;
    }
    if (options.address.size() > 4 || !board::isHexText(options.address)) {
        error = "--address takes a hex address such as 60, not \"" + options.address + "\"";
        return std::nullopt;
    }
    if (loopOption->count() > 0) {
        auto [end, ec] = std::from_chars(loop.data(), loop.data() + loop.size(), options.loops);
        if (ec != std::errc() || end != loop.data() + loop.size() || options.loops < 1) {
            error = "--loop takes a number of passes of at least 1, not \"" + loop + "\"";
            return std::nullopt;
        }
    }
    if (pauseOption->count() > 0) {
        if (pause != "continue" && pause != "abort") {
            error = "--pause takes continue or abort, not \"" + pause + "\"";
            return std::nullopt;
        }
        options.pauseContinues = pause == "continue";
    }
    // Standard output carries the summary line, so a report there could not be parsed.
    if (options.junitPath == "-") {
        error = "--junit needs a file name; the report cannot go to stdout";
        return std::nullopt;
    }
    if (scripts.size() > 1) {
        error = "only one script can be run, got \"" + scripts[0] + "\" and \"" + scripts[1] + "\"";
        return std::nullopt;
    }
    if (options.help || options.version || options.bridgeForms) {
        return options;
    }
    if (scripts.empty()) {
        error = "no script given (see --help)";
        return std::nullopt;
    }
    options.script = scripts.front();
    if (options.append && options.recordPath.empty()) {
        error = "--append needs --record FILE";
        return std::nullopt;
    }
    return options;
}

std::string runnerUsage() {
    return R"(NAME
    velmorix-script - run a bridge-board script without a window

SYNOPSIS
    velmorix-script [options] SCRIPT
    velmorix-script --check [--address HEX] [--junit FILE] SCRIPT

DESCRIPTION
    Loads SCRIPT into a script window model, runs its main section once (Run All Steps) or
    several times (Loop Cont), and reports the pass and fail counts of its read operations.
    The loader, the engine and the recording are the very ones of the script window.

OPTIONS
    --bridge )" +
           std::string(WDU_BridgeForms()) + R"(
                                which bridge (default: VELMORIX_BRIDGE, else usb)
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
    --junit FILE                after the run, a JUnit XML report: one test suite per pass,
                                one test case per read or GPIO row with its time and its log
                                entries; rows that did not run are skipped
    --trace                     every USB transfer to stderr: endpoint, direction, bytes in hex
    --force                     with i2cdev:PATH, reach addresses a kernel driver holds (else
                                such a row fails: Device or resource busy)
    --capture FILE|-            every I2C message to FILE as it happens: pcapng for Wireshark,
                                classic pcap for a name ending in .pcap, VCD waveforms for
                                sigrok and PulseView for .vcd; - is stdout (the summary then
                                goes to stderr)
    --capture-rate HZ           the bus clock a .vcd is drawn at (default 100000)
    --check                     run nothing and send nothing: load SCRIPT as a run would and
                                list each row the loader reads differently from how it looks
                                (characters after a field's hex digits, digits that do not make
                                whole bytes, an unknown command, a section end missing or given
                                twice, expected data on a write row), one line each:
                                "SCRIPT:LINE: reads WHAT, because WHY"; with --junit FILE, one
                                test case per row, failed where it has findings
    --bridge-forms              the forms --bridge takes in this build, one a line
    --help, --version

OUTPUT
    Message boxes go to stderr as one line each, "message: TEXT"; an OK/Cancel box is answered
    as --pause says. While stderr is a terminal a progress line shows the row being run. The
    last line on stdout is "N passed, N failed".

EXIT STATUS (with --check: 0 no findings, 1 findings, 2 the script cannot be read)
    0   nothing failed
    1   a read or GPIO comparison failed on a board that was there throughout
    2   usage error, the script cannot be loaded, or an output file (--record, --grid,
        --log, --junit, --capture) cannot be written
    3   the bridge board was missing or left during the run; stderr names the first row
        that could not reach it ("Line 002: board left", "Line 001: no board")
)";
}

}  // namespace tools
