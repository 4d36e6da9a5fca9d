// Feeds arbitrary bytes to the simulation-file reader; whatever it accepts must build a board
// that answers a write and a read of every target, whatever behaviour the target was given.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "bridgesim/Board.h"
#include "bridgesim/SimulationReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto config = bridgesim::SimulationReader::fromText(text, "fuzz.json", error);
    if (!config) {
        fuzz::check(error.rfind("fuzz.json: ", 0) == 0);
        return 0;
    }
    bridgesim::SimulationConfig quick = *config;
    for (auto& target : quick.targets) {
        target.stretchUs = 0;  // real time spent, nothing to find
    }
    bridgesim::Board board(quick);
    board.setTimeoutWait(std::chrono::microseconds{0});
    board.setLatency(std::chrono::microseconds{0});
    board.setManualClock(true);
    for (const auto& target : quick.targets) {
        const auto rb = static_cast<std::uint32_t>(target.registerBytes);
        std::uint8_t write[5] = {2, target.address, 0x00, 0x00, 0xA5};
        std::uint8_t command[4] = {4, static_cast<std::uint8_t>(target.address | 1), 0xFF, 0xFF};
        std::uint8_t reply[5] = {};
        board.transfer(2, false, write, 3 + rb, 10);
        board.transfer(0x82, true, reply, sizeof reply, 10);
        board.advanceClock(std::chrono::milliseconds(7));
        board.transfer(2, false, command, 2 + rb, 10);
        board.transfer(0x82, true, reply, sizeof reply, 10);
    }
    std::uint8_t gpio[4] = {0xFF, 0x0F, 0x00, 0xF0};
    std::uint8_t status[25] = {};
    board.transfer(1, false, gpio, sizeof gpio, 10);
    board.transfer(0x81, true, status, sizeof status, 10);
    return 0;
}
