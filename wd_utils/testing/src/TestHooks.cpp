// The test interface of wdu_sim.h, reached through the table the USB layer hands over
// (wdu_hooks.h): the layer's shared library exports none of it.
#include <cstdio>
#include <cstdlib>

#include "wd_utils.h"
#include "wdu_hooks.h"
#include "wdu_sim.h"

namespace {

constinit const wdu::LayerTestHooks* g_hooks = nullptr;

// The layer's table; the layer offers it when it starts, which any WDU_* call brings about.
const wdu::LayerTestHooks& hooks() {
    if (g_hooks == nullptr) {
        WDU_BridgeError();
    }
    if (g_hooks == nullptr) {
        std::fputs("wd_utils_testing: the USB layer offered no test interface\n", stderr);
        std::abort();
    }
    return *g_hooks;
}

}  // namespace

extern "C" WDU_SIM_API void wdu_take_test_hooks(const wdu::LayerTestHooks* hooks) {
    g_hooks = hooks;
}

namespace wdu {

bridgesim::Board* simulatedBoard() {
    return hooks().simulatedBoard();
}

void installSimulatedBoard(std::shared_ptr<bridgesim::Board> board) {
    hooks().installSimulatedBoard(std::move(board));
}

void resetForTests() {
    hooks().resetForTests();
}

void setNextHandleForTests(std::uint32_t next) {
    hooks().setNextHandleForTests(next);
}

}  // namespace wdu
