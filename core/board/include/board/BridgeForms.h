// The bridge forms the layer takes in this build, as the programs' --bridge-forms prints them.
#pragma once

#include <string>

namespace board {

// WDU_BridgeForms one form a line, each line ended: "usb\nsim\n...". Never fails.
std::string bridgeFormLines();

}  // namespace board
