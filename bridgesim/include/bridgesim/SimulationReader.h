// Reads simulation files (JSON) into a SimulationConfig, refusing anything it does not fully
// understand: the program never starts on a half-read simulation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

class SimulationReader {
  public:
    // Parses JSON text; on failure returns nullopt and sets error to "SOURCE: KEY: problem".
    static std::optional<SimulationConfig> fromText(std::string_view text, std::string_view source,
                                                    std::string& error);
    // Reads and parses a file; an unreadable file fails like bad content, naming the path.
    static std::optional<SimulationConfig> fromFile(const std::string& path, std::string& error);
    // The built-in demo simulation; never fails (its text is checked by the tests).
    static SimulationConfig builtIn();
    // The JSON text of the built-in simulation, as embedded at build time.
    static std::string_view builtInText();
};

}  // namespace bridgesim
