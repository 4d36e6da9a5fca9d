#include "ScriptFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "wdu_sim.h"

namespace scripttest {

namespace fs = std::filesystem;

const char* const kScriptBench = R"({
  "name": "script tests",
  "attached": true,
  "inputs": { "PB": "FF", "PC": "FF" },
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00", "registers": { "05": "0B" },
      "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } },
    { "address": "A0", "register_bytes": 2, "fill": "FF" } ] })";

bridgesim::PacketRecord out(std::uint8_t endpoint, std::vector<std::uint8_t> bytes) {
    return {endpoint, bridgesim::PacketDirection::Out, std::move(bytes)};
}

bridgesim::PacketRecord in(std::uint8_t endpoint, std::vector<std::uint8_t> bytes) {
    return {endpoint, bridgesim::PacketDirection::In, std::move(bytes)};
}

void ScriptFixture::SetUp() {
    dir = fs::path(testing::TempDir()) /
          ("script_engine_" +
           std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
}

void ScriptFixture::TearDown() {
    windows.reset();
    app.reset();
    board.reset();
    wdu::resetForTests();
    fs::remove_all(dir);
}

void ScriptFixture::start(const char* simulation) {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    board = bridgesim::Board::fromJsonText(simulation, "script tests", error);
    ASSERT_TRUE(board) << error;
    wdu::installSimulatedBoard(board);
    host.pump = [] { WDU_VB_PumpEvents(); };
    app = std::make_unique<app::Application>(host);
    windows = std::make_unique<app::ScriptWindows>(*app);
    app->start();
    board->clearPacketLog();
    app->mainWindow().Txtlog.setText("");
}

std::string ScriptFixture::writeScript(const std::string& name, const std::string& text) {
    fs::path path = dir / name;
    std::ofstream file(path, std::ios::binary);
    file << text;
    return path.string();
}

script::frmScriptOps& ScriptFixture::openWindow(const std::string& text, const std::string& name) {
    std::string path = writeScript(name, text);
    host.dialogAnswers.push_back({false, path, name});
    app->mainWindow().mnu_ScriptShow_Click();
    window = &windows->sharedWindow();
    board->clearPacketLog();
    app->mainWindow().Txtlog.setText("");
    return *window;
}

std::size_t ScriptFixture::countInLog(const std::string& what) {
    std::size_t n = 0;
    for (auto p = log().find(what); p != std::string::npos; p = log().find(what, p + 1)) {
        ++n;
    }
    return n;
}

std::vector<bridgesim::PacketRecord> ScriptFixture::i2cPackets() const {
    std::vector<bridgesim::PacketRecord> result;
    for (auto& p : board->packetLog()) {
        if (p.endpoint == 2 || p.endpoint == 0x82) {
            result.push_back(p);
        }
    }
    return result;
}

std::vector<bridgesim::PacketRecord> ScriptFixture::gpioPackets() const {
    std::vector<bridgesim::PacketRecord> result;
    for (auto& p : board->packetLog()) {
        if (p.endpoint == 1 || p.endpoint == 0x81) {
            result.push_back(p);
        }
    }
    return result;
}

std::vector<std::vector<std::uint8_t>> ScriptFixture::readCommands() const {
    std::vector<std::vector<std::uint8_t>> result;
    for (auto& p : i2cPackets()) {
        if (p.endpoint == 2 && p.bytes.size() >= 2 && (p.bytes[1] & 1) == 1) {
            result.push_back(p.bytes);
        }
    }
    return result;
}

std::string ScriptFixture::readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace scripttest
