#include "testing/AppFixture.h"

#include <cstdio>
#include <cstdlib>

#include "wdu_sim.h"

namespace apptest {

const char* const kAppBench = R"({
  "name": "console tests",
  "attached": true,
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00",
      "registers": { "02": "7A", "05": "7A" }, "read_only": [ "02" ] },
    { "address": "A0", "register_bytes": 1, "fill": "00", "registers": { "10": "3C" } } ] })";

bridgesim::PacketRecord out(std::uint8_t endpoint, std::vector<std::uint8_t> bytes) {
    return {endpoint, bridgesim::PacketDirection::Out, std::move(bytes)};
}

bridgesim::PacketRecord in(std::uint8_t endpoint, std::vector<std::uint8_t> bytes) {
    return {endpoint, bridgesim::PacketDirection::In, std::move(bytes)};
}

void AppFixture::SetUp() {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    board = bridgesim::Board::fromJsonText(kAppBench, "console tests", error);
    if (!board) {
        std::fprintf(stderr, "bad test bench: %s\n", error.c_str());
        std::abort();
    }
    wdu::installSimulatedBoard(board);
    host.pump = [] { WDU_VB_PumpEvents(); };
    app = std::make_unique<app::Application>(host);
}

void AppFixture::TearDown() {
    app.reset();
    board.reset();
    wdu::resetForTests();
}

void AppFixture::startQuietly() {
    app->start();
    board->clearPacketLog();
    main().Txtlog.setText("");
}

void AppFixture::connectManually() {
    main().ChKManUsbConn.Value = 1;
    main().ChKManUsbConn_Click();
    main().cmdUSBConnect_Click();
    ASSERT_EQ(s().UsbOpened, board::True);
    board->clearPacketLog();
    main().Txtlog.setText("");
}

std::vector<bridgesim::PacketRecord> AppFixture::i2cPackets() const {
    std::vector<bridgesim::PacketRecord> result;
    for (auto& p : packets()) {
        if (p.endpoint == 2 || p.endpoint == 0x82) {
            result.push_back(p);
        }
    }
    return result;
}

std::vector<bridgesim::PacketRecord> AppFixture::gpioPackets() const {
    std::vector<bridgesim::PacketRecord> result;
    for (auto& p : packets()) {
        if (p.endpoint == 1 || p.endpoint == 0x81) {
            result.push_back(p);
        }
    }
    return result;
}

std::size_t AppFixture::countInLog(const std::string& what) {
    std::size_t n = 0;
    for (auto p = log().find(what); p != std::string::npos; p = log().find(what, p + 1)) {
        ++n;
    }
    return n;
}

std::vector<std::uint8_t> AppFixture::gpioReply(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                                std::uint8_t b3) {
    std::vector<std::uint8_t> reply(25, 0);
    reply[0] = b0;
    reply[1] = b1;
    reply[2] = b2;
    reply[3] = b3;
    return reply;
}

}  // namespace apptest
