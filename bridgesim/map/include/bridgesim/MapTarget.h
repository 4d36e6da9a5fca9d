// Simulated targets described by register maps: the "map" key of a simulation file.
#pragma once

#include <string>

#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

// Fills the target from the map file at path: register-address bytes, register widths and byte
// order, reset values and per-bit behaviour. False with the map reader's refusal in error.
bool readMapTarget(const std::string& path, TargetConfig& target, std::string& error);
// Lets the simulation reader read "map" keys with readMapTarget; safe to call more than once.
void installMapReader();

}  // namespace bridgesim
