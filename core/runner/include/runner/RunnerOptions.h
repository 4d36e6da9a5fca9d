// What one script run is asked to do: velmorix-script's options, and Python's run_script's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/CaptureEncoder.h"

namespace runner {

struct RunnerOptions {
    std::string script;
    std::optional<std::string> bridge;  // as WDU_SelectBridge reads it; unset = environment
    std::string address = "60";         // as typed: the window's address box takes text
    // A caller's number (Python's run_script), used instead of address: the 8-bit write address.
    std::optional<std::uint8_t> writeAddress;
    int loops = 0;  // 0 = one Run All Steps; N = Loop Cont for N passes
    bool abortOnFail = false;
    bool sample = false;
    bool pauseContinues = true;
    std::string recordPath;
    bool append = false;
    std::string gridPath;  // "-" = stdout
    std::string logPath;   // "-" = stdout
    std::string junitPath;
    bool trace = false;
    bool force = false;       // reach addresses a kernel driver holds (i2cdev:)
    std::string capturePath;  // "-" = stdout, which moves the summary to stderr
    int captureRate = client::kDefaultCaptureRateHz;
    // Only check how the script reads (ScriptCheck.h); nothing runs, nothing is sent.
    bool check = false;
    bool help = false;
    bool version = false;
    // The bridge forms of this build, one a line, for the shell completion and the docs.
    bool bridgeForms = false;
};

}  // namespace runner
