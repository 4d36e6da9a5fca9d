// velmorix-i2c with a register map (--map): get by name with the fields decoded, set of fields
// by name as one masked read-modify-write per register, map, and the names beside a dump.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "client/BoardLinkClient.h"
#include "regmap/MaskedWrite.h"
#include "regmap/RegisterMap.h"
#include "tools/i2c/I2cOutcome.h"
#include "tools/i2c/I2cRequest.h"

namespace tools {

// The map a request names, with everything looked up before anything is sent: the register of
// get, the writes of set (grouped by register, in the order first named).
struct I2cMapPlan {
    regmap::RegisterMap map;
    const regmap::Register* reg = nullptr;  // get: the register, nullptr for one not in the map
    std::vector<regmap::MaskedWrite> writes;
    // The question set asks on a terminal.
    std::string question(std::uint8_t address) const;
};

// Reads the map file and resolves the request against it; nothing, with `error` set, when the
// file is refused or a name, value or access makes the request a usage error.
std::optional<I2cMapPlan> planI2cMapRequest(const I2cRequest& request, std::string& error);

// get of a register in the map: its bytes in one read, then each field.
void runI2cMapGet(const I2cRequest& request, const I2cMapPlan& plan, client::BoardLinkClient& bus,
                  I2cOutcome& result);
// set of fields: per register one read, one write, one read-back (unless --no-verify). Each
// register's JSON object is one line of `result.text` when json is set.
void runI2cMapSet(const I2cRequest& request, const I2cMapPlan& plan, client::BoardLinkClient& bus,
                  I2cOutcome& result);
// map: the registers and fields, their bit ranges, access and reset values. Never fails.
void runI2cMap(const I2cMapPlan& plan, I2cOutcome& result);
// A dump's names: "names" in the JSON object and a line per named register under the grid.
void addI2cDumpNames(const I2cRequest& request, const I2cMapPlan& plan, I2cOutcome& result);

}  // namespace tools
