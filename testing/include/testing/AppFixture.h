// The whole application (board link, main window, GPIO panel) on a fresh simulated bridge board
// with a fixed clock, for the window model tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "bridgesim/Board.h"
#include "testing/TestHost.h"

namespace apptest {

// Targets: 60 (register 02 = 7A, read-only; register 05 = 7A), A0 (register 10 = 3C). No device
// answers at 62.
extern const char* const kAppBench;

bridgesim::PacketRecord out(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);
bridgesim::PacketRecord in(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);

class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program (main window loaded and shown, GPIO panel loaded hidden), then forgets
    // the packets and the log so far.
    void startQuietly();
    // Ticks the manual switch and opens the connection, then forgets packets and log.
    void connectManually();

    console::frmI2C_General& main() { return app->mainWindow(); }
    gpio::frmGPIO& panel() { return app->gpioPanel(); }
    board::ProgramState& s() { return app->link().s; }
    const std::string& log() { return main().Txtlog.Text(); }
    std::vector<bridgesim::PacketRecord> packets() const { return board->packetLog(); }
    // Packets on the I2C endpoints only (2 and 0x82).
    std::vector<bridgesim::PacketRecord> i2cPackets() const;
    // Packets on the GPIO endpoints only (1 and 0x81).
    std::vector<bridgesim::PacketRecord> gpioPackets() const;
    // Times `what` occurs in the log.
    std::size_t countInLog(const std::string& what);

    // One log entry under the fixed clock 2026-12-07 14:05:09.
    static std::string entry(const std::string& message, const std::string& terminator = "\r\n") {
        return message + " :12-07-2026 14:05:09" + terminator + terminator;
    }
    static std::vector<std::uint8_t> gpioReply(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                               std::uint8_t b3);

    form::TestHost host;
    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<app::Application> app;
};

}  // namespace apptest
