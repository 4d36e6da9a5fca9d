// Reads simulation files (JSON) into a SimulationConfig, refusing anything it does not fully
// understand: the program never starts on a half-read simulation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

// Fills a target from a register map file: register-address width, register widths and byte
// order, reset values and per-bit behaviour. False with the map reader's refusal in error.
using MapTargetReader = bool (*)(const std::string& path, TargetConfig& target, std::string& error);

class SimulationReader {
  public:
    // Installs the reader of "map" keys (the simulated board itself reads no map files, so that
    // it needs no XML library); without one a "map" key is refused. Safe from any thread.
    static void setMapReader(MapTargetReader reader);

    // Parses JSON text; on failure returns nullopt and sets error to "SOURCE: KEY: problem". A
    // "map" path is taken relative to baseDir ("" = the working folder).
    static std::optional<SimulationConfig> fromText(std::string_view text, std::string_view source,
                                                    std::string& error,
                                                    const std::string& baseDir = "");
    // Reads and parses a file; an unreadable file fails like bad content, naming the path.
    static std::optional<SimulationConfig> fromFile(const std::string& path, std::string& error);
    // The built-in demo simulation; never fails (its text is checked by the tests).
    static SimulationConfig builtIn();
    // The JSON text of the built-in simulation, as embedded at build time.
    static std::string_view builtInText();
};

}  // namespace bridgesim
