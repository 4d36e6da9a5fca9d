// The application with its script windows on a simulated bridge board of the test's own, a
// fixed clock and a scratch folder for script files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "bridgesim/Board.h"
#include "script/frmScriptOps.h"
#include "testing/TestHost.h"

namespace scripttest {

// Target 60: 1-byte registers, 05 = 0B, interrupt on PC4 set by a write to 10 and cleared by a
// read of 11. Target A0: 2-byte registers. Nothing answers at 62. All inputs high.
extern const char* const kScriptBench;

class ScriptFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program on a board made from the simulation text, then forgets the packets
    // and the log so far.
    void start(const char* simulation = kScriptBench);
    // Writes a script file into the scratch folder; returns its path.
    std::string writeScript(const std::string& name, const std::string& text);
    // Shows the shared script window, answering its open dialog with a new script file.
    script::frmScriptOps& openWindow(const std::string& text, const std::string& name = "t.txt");

    const std::string& cell(int row, script::Column column) const {
        return window->vbalGrid1.CellText(row, static_cast<int>(column));
    }
    script::CellColor color(int row, script::Column column) const {
        return window->vbalGrid1.CellBackColor(row, static_cast<int>(column));
    }
    board::ProgramState& s() { return app->link().s; }
    script::ScriptRunState& run() { return windows->runState(); }
    const std::string& log() { return app->mainWindow().Txtlog.Text(); }
    std::size_t countInLog(const std::string& what);
    // Packets on the I2C endpoints (2 and 0x82), resp. the GPIO endpoints (1 and 0x81).
    std::vector<bridgesim::PacketRecord> i2cPackets() const;
    std::vector<bridgesim::PacketRecord> gpioPackets() const;
    // The I2C read commands sent, as [count, read address, register...].
    std::vector<std::vector<std::uint8_t>> readCommands() const;
    static std::string readFile(const std::filesystem::path& path);

    form::TestHost host;
    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<app::Application> app;
    std::unique_ptr<app::ScriptWindows> windows;
    script::frmScriptOps* window = nullptr;
    std::filesystem::path dir;
};

bridgesim::PacketRecord out(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);
bridgesim::PacketRecord in(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);

}  // namespace scripttest
