// How the USB layer hands its test interface (wdu_sim.h) to wd_utils_testing: the layer exports
// none of it. At start-up the layer looks for wdu_take_test_hooks, which only wd_utils_testing
// defines, and gives it this table; a program that does not link wd_utils_testing has no way in.
#pragma once

#include <cstdint>
#include <memory>

#include "bridgesim/Board.h"

namespace wdu {

struct LayerTestHooks {
    bridgesim::Board* (*simulatedBoard)();
    void (*installSimulatedBoard)(std::shared_ptr<bridgesim::Board> board);
    void (*resetForTests)();
    void (*setNextHandleForTests)(std::uint32_t next);
};

}  // namespace wdu

// The name the layer looks up; defined in wd_utils_testing only.
#define WDU_TAKE_TEST_HOOKS "wdu_take_test_hooks"
using WduTakeTestHooks = void (*)(const wdu::LayerTestHooks* hooks);
