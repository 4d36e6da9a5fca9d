#include "testing/AppFixture.h"

#include <chrono>
#include <thread>

#include "testing/SimulatedBridge.h"
#include "wdu_env.h"
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
    build(kAppBench);
}

void AppFixture::TearDown() {
    destroyApplication();
    // The layer lets go of the bridge's device before the bridge goes.
    wdu::resetForTests();
    bridge.reset();
    board.reset();
}

void AppFixture::build(const char* simulation) {
    std::string error;
    board = bridgesim::Board::fromJsonText(simulation, "test bench", error);
    ASSERT_TRUE(board) << "bad test bench: " << error;
    bridge = makeBridge();
    if (!bridge->install(board, error)) {
        GTEST_SKIP() << error;
    }
    host.pump = [] { WDU_VB_PumpEvents(); };
    app = &makeApplication();
}

std::unique_ptr<TestBridge> AppFixture::makeBridge() {
    return std::make_unique<SimulatedBridge>();
}

bool AppFixture::pumpUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        host.doEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

app::Application& AppFixture::makeApplication() {
    ownApp_ = std::make_unique<app::Application>(host, navigator);
    return *ownApp_;
}

void AppFixture::destroyApplication() {
    app = nullptr;
    ownApp_.reset();
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

std::vector<std::vector<std::uint8_t>> AppFixture::readCommands() const {
    std::vector<std::vector<std::uint8_t>> result;
    for (auto& p : i2cPackets()) {
        if (p.endpoint == 2 && p.bytes.size() >= 2 && (p.bytes[1] & 1) == 1) {
            result.push_back(p.bytes);
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

void expectControlsApart(const form::ControlTable& table) {
    for (std::size_t a = 0; a < table.size(); ++a) {
        for (std::size_t b = a + 1; b < table.size(); ++b) {
            const auto& p = table[a].geometry;
            const auto& q = table[b].geometry;
            if (p.container != q.container || p.containerIndex != q.containerIndex) {
                continue;
            }
            const bool apart = p.left + p.width <= q.left || q.left + q.width <= p.left ||
                               p.top + p.height <= q.top || q.top + q.height <= p.top;
            EXPECT_TRUE(apart) << table[a].name << table[a].index << " overlaps " << table[b].name
                               << table[b].index;
        }
    }
}

}  // namespace apptest
