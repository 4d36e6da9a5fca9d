// Targets that behave like real silicon, at the packet level: the example bench of the simulation
// files (bridgesim/sim/examples), read from its file as sim:FILE reads it, one step a line: the
// bytes written, then the reply the bridge gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bridgesim/Board.h"
#include "bridgesim/MapTarget.h"
#include "bridgesim/SimulationReader.h"

namespace bridgesim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Step {
    const char* what;
    std::uint8_t address;  // 8-bit write address; odd = a read
    Bytes payload;         // register address bytes, then data for a write
    std::uint8_t count;    // bytes to read
    Bytes reply;
    int advanceMs = 0;  // the clock moves on this much before the step
};

const std::vector<Step> kSteps = {
    {"read-only, write-1-to-clear, write-only bits", 0x40, {0x10, 0xFF}, 0, {0x03}},
    {"  read back: write-only bits read as 0", 0x41, {0x10}, 1, {0x01, 0xCC}},
    {"clear-on-read", 0x41, {0x11}, 1, {0x01, 0x05}},
    {"  cleared after it was returned", 0x41, {0x11}, 1, {0x01, 0x04}},
    {"counter every read", 0x41, {0x12}, 1, {0x01, 0xFE}},
    {"  wraps at the width", 0x41, {0x12}, 1, {0x01, 0x01}},
    {"sequence", 0x41, {0x13}, 1, {0x01, 0x0A}},
    {"  next", 0x41, {0x13}, 1, {0x01, 0x0B}},
    {"  repeats", 0x41, {0x13}, 1, {0x01, 0x0A}},
    {"FIFO burst pops, then reads empty", 0x41, {0x14}, 3, {0x03, 0x11, 0x22, 0xEE}},
    {"  writes push", 0x40, {0x14, 0x33, 0x44}, 0, {0x04}},
    {"  and pop in order", 0x41, {0x14}, 2, {0x02, 0x33, 0x44}},
    {"register address not acknowledged", 0x40, {0x15, 0x01}, 0, {0x01}},
    {"  nor read", 0x41, {0x15}, 1, {0x00}},
    {"write-1-to-set, -to-toggle, write-0-to-clear", 0x40, {0x16, 0x07}, 0, {0x03}},
    {"  read back", 0x41, {0x16}, 1, {0x01, 0x05}},
    {"ramp at t = 0", 0x41, {0x17}, 1, {0x01, 0x00}},
    {"  at the 10 ms sample 20 ms into 100 ms", 0x41, {0x17}, 1, {0x01, 0x14}, 25},
    {"map: read-only register", 0x90, {0x00, 0x00}, 0, {0x03}},
    {"  keeps its reset value", 0x91, {0x00}, 1, {0x01, 0x5A}},
    {"map: read-only bit, write-only field", 0x90, {0x01, 0xFF}, 0, {0x03}},
    {"  read back", 0x91, {0x01}, 1, {0x01, 0x07}},
    {"map: register-level oneToClear", 0x90, {0x02, 0x01}, 0, {0x03}},
    {"  only DRDY cleared", 0x91, {0x02}, 1, {0x01, 0x02}},
    {"map: 16-bit sine, most significant byte first", 0x91, {0x04}, 2, {0x02, 0x01, 0x90}},
    {"map: readAction clear", 0x91, {0x06}, 1, {0x01, 0x01}},
    {"  cleared", 0x91, {0x06}, 1, {0x01, 0x00}},
    {"EEPROM write", 0xA0, {0x00, 0x10, 0x55}, 0, {0x04}},
    {"  busy: the address is not acknowledged", 0xA1, {0x00, 0x10}, 1, {0x00}},
    {"  done 5 ms later", 0xA1, {0x00, 0x10}, 1, {0x01, 0x55}, 5},
};

class ChipTest : public ::testing::Test {
  protected:
    static std::shared_ptr<Board> bench() {
        installMapReader();
        std::string error;
        auto board = Board::fromFile(VELMORIX_SIM_EXAMPLES "/bench.json", error);
        EXPECT_NE(board, nullptr) << error;
        if (board) {
            board->setManualClock(true);
            board->setTimeoutWait(std::chrono::microseconds{0});
        }
        return board;
    }

    // The reply to one I2C command: byte 0 the count, then the bytes read.
    static Bytes exchange(Board& board, const Step& step) {
        Bytes command{step.count, step.address};
        command.insert(command.end(), step.payload.begin(), step.payload.end());
        board.transfer(2, false, command.data(), static_cast<std::uint32_t>(command.size()), 0);
        Bytes reply(257, 0);
        const TransferResult result = board.transfer(0x82, true, reply.data(), 257, 0);
        reply.resize(result.length);
        return reply;
    }
};

TEST_F(ChipTest, ExampleBench_EachBehaviour_RepliesAsARealChip) {
    const auto board = bench();
    ASSERT_NE(board, nullptr);
    for (const Step& step : kSteps) {
        board->advanceClock(std::chrono::milliseconds(step.advanceMs));
        EXPECT_EQ(exchange(*board, step), step.reply) << step.what;
    }
}

TEST_F(ChipTest, Noise_SameSeedSameValues_WithinRange) {
    const auto first = bench();
    const auto second = bench();
    ASSERT_TRUE(first && second);
    const Step read{"noise", 0x41, {0x18}, 1, {}};
    Bytes seen;
    for (int i = 0; i < 16; ++i) {
        const Bytes a = exchange(*first, read);
        ASSERT_EQ(a, exchange(*second, read));
        ASSERT_EQ(a.size(), 2u);
        EXPECT_GE(a[1], 0x10);
        EXPECT_LE(a[1], 0x1F);
        seen.push_back(a[1]);
    }
    EXPECT_NE(std::count(seen.begin(), seen.end(), seen[0]), 16) << "noise never changed";
}

TEST_F(ChipTest, MapMissing_RegistrationStopsWithTheReadersMessage) {
    installMapReader();
    std::string error;
    EXPECT_FALSE(SimulationReader::fromText(R"({"targets": [{"address": "60", "map": "no.svd"}]})",
                                            "bench.json", error, "/nowhere"));
    // The path as the system writes it (a backslash before the name on Windows).
    const std::string path = (std::filesystem::path("/nowhere") / "no.svd").string();
    EXPECT_EQ(error, "bench.json: targets[0].map: " + path + ": cannot be opened");
}

}  // namespace
}  // namespace bridgesim
