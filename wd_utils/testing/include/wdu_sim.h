// Test interface of the USB toolkit layer: the simulated bridge board behind the simulation
// backend, for the tests and benchmarks of every layer. Not part of the C ABI: defined in
// wd_utils_testing, which the layer hands its test interface to (wdu_hooks.h).
#pragma once

#include <cstdint>
#include <memory>

#include "bridgesim/Board.h"

#if defined(_WIN32)
#define WDU_SIM_API __declspec(dllexport)
#else
#define WDU_SIM_API __attribute__((visibility("default")))
#endif

namespace wdu {

// The board behind the simulation backend, started on first use from the chosen bridge (or
// VELMORIX_BRIDGE); nullptr when the backend is not the simulation (or the simulation file is
// bad: see WDU_BridgeError()).
WDU_SIM_API bridgesim::Board* simulatedBoard();
// Selects the simulation backend with this board for the following registrations. Meant for a
// moment with no registration open; open ones lose their device without a detach event.
WDU_SIM_API void installSimulatedBoard(std::shared_ptr<bridgesim::Board> board);
// Drops every registration, handle and queued event, forgets the installed board and the chosen
// bridge, and goes back to choosing the backend by VELMORIX_BRIDGE. Never call it from inside a
// handler.
WDU_SIM_API void resetForTests();
// Makes next the value the next new driver or device handle is counted from.
WDU_SIM_API void setNextHandleForTests(std::uint32_t next);

}  // namespace wdu
