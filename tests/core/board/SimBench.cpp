#include "SimBench.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bridgesim/Board.h"
#include "wdu_env.h"
#include "wdu_sim.h"

namespace boardtest {

const char* const kTestBench = R"({
  "name": "board link tests",
  "attached": true,
  "targets": [
    { "address": "A0", "register_bytes": 1, "fill": "00", "registers": { "10": "3C" } },
    { "address": "60", "register_bytes": 1, "fill": "00", "registers": { "02": "7A" },
      "read_only": [ "02" ] },
    { "address": "B0", "register_bytes": 2, "fill": "00" } ] })";

namespace {

bridgesim::Board& board() {
    bridgesim::Board* b = wdu::simulatedBoard();
    if (b == nullptr) {
        std::fprintf(stderr, "no simulated board installed\n");
        std::abort();
    }
    return *b;
}

}  // namespace

SimBench::SimBench(const std::string& json) {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    auto b = bridgesim::Board::fromJsonText(json, "test bench", error);
    if (!b) {
        std::fprintf(stderr, "bad test bench: %s\n", error.c_str());
        std::abort();
    }
    wdu::installSimulatedBoard(std::move(b));
}

SimBench::~SimBench() {
    wdu::resetForTests();
}

void SimBench::attachNow() {
    board().attach();
}

void SimBench::detachNow() {
    board().detach();
}

std::vector<Packet> SimBench::packets() const {
    std::vector<Packet> out;
    for (const auto& record : board().packetLog()) {
        out.push_back(
            {record.endpoint, record.direction == bridgesim::PacketDirection::In, record.bytes});
    }
    return out;
}

void SimBench::clearPackets() {
    board().clearPacketLog();
}

std::vector<Packet> SimBench::sent() const {
    std::vector<Packet> out;
    for (auto& p : packets()) {
        if (!p.in) {
            out.push_back(std::move(p));
        }
    }
    return out;
}

void SimBench::failRegistration() {
    board().setRegistrationFails(true);
}

void SimBench::failInterfaceSelection() {
    board().setInterfaceSelectFails(true);
}

void SimBench::noEndpoints() {
    board().setNoEndpoints(true);
}

void SimBench::timeOutOn(std::uint32_t endpoint) {
    board().setTimeoutWait(std::chrono::microseconds(1000));
    board().setEndpointTimesOut(static_cast<std::uint8_t>(endpoint), true);
}

void SimBench::shortReplies(std::uint32_t bytesFewer) {
    board().setShortReply(bytesFewer);
}

std::uint8_t SimBench::peek(std::uint8_t address, std::uint32_t reg) const {
    return board().peekRegister(address, reg).value_or(0);
}

void SimBench::poke(std::uint8_t address, std::uint32_t reg, std::uint8_t value) {
    board().pokeRegister(address, reg, value);
}

}  // namespace boardtest
