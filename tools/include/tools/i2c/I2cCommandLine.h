// The command line of velmorix-i2c: four subcommands in the habits of i2c-tools.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/i2c/I2cRequest.h"

namespace tools {

// Reads the arguments (without the program name). Returns the request to run, or nothing with
// exitStatus set: 0 after --help or --version (printed on out), kI2cUsage after a usage error
// (one line on err).
std::optional<I2cRequest> parseI2cCommandLine(const std::vector<std::string>& args,
                                              std::ostream& out, std::ostream& err,
                                              int& exitStatus);

// Reads a hex number, with or without 0x; nothing for an empty or non-hex text. A value wider
// than 32 bits reads as 0xFFFFFFFF, so that any range check refuses it.
std::optional<std::uint32_t> parseHexNumber(const std::string& text);

}  // namespace tools
