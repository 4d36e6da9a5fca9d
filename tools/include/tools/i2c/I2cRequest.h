// What one velmorix-i2c command line asks for, with every number already checked against its
// range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/CaptureEncoder.h"

namespace tools {

// Exit statuses of velmorix-i2c.
enum I2cExit { kI2cOk = 0, kI2cNoAcknowledge = 1, kI2cUsage = 2, kI2cNoBridge = 3 };

// The subcommands of velmorix-i2c.
enum class I2cCommand { Detect, Get, Set, Dump, Map };

struct I2cRequest {
    I2cCommand command = I2cCommand::Detect;
    std::optional<std::string> bridge;  // as --bridge names it; unset = VELMORIX_BRIDGE
    bool reg16 = false;
    bool json = false;
    bool trace = false;
    bool force = false;  // reach addresses a kernel driver holds (i2cdev:)
    bool yes = false;
    // --capture: the capture file ("" for none, "-" for stdout) and the rate a VCD is drawn at.
    std::string capture;
    int captureRate = client::kDefaultCaptureRateHz;

    // get, set, dump: the 8-bit write address (bit 0 clear).
    std::uint8_t address = 0;
    // get, set: the register address (up to FFFF with reg16).
    std::uint32_t reg = 0;
    // get: the number of bytes to read.
    int count = 1;
    // set: the bytes to write, and whether to read them back.
    std::vector<std::uint8_t> data;
    bool readBack = false;

    // detect: addresses as 7-bit ones, and the reserved ones probed too.
    bool sevenBit = false;
    bool all = false;
    // detect: the address range in the grid's own form; dump: the register range.
    std::uint32_t first = 0;
    std::uint32_t last = 0;

    // --map: the register-map file ("" for none); --byte-order: "big", "little" or "" for the
    // map's own.
    std::string mapFile;
    std::string byteOrder;
    // get with a map: the register as typed, a name or hex.
    std::string regText;
    // set with a map: the NAME.FIELD=VALUE texts; --no-verify leaves out the read-back.
    std::vector<std::string> assignments;
    bool verify = true;
};

}  // namespace tools
