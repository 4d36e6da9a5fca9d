// The whole application (board link, main window, GPIO panel, script windows) on a fresh
// simulated bridge board with a fixed clock, shown through a recording navigator. The script
// and Qt fixtures build on it: they choose their own board and may build the application with
// windows of their own.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "bridgesim/Board.h"
#include "form/ControlTable.h"
#include "testing/ProgramStateAccess.h"
#include "testing/RecordingNavigator.h"
#include "testing/TestBridge.h"
#include "testing/TestHost.h"

namespace apptest {

// Targets: 60 (register 02 = 7A, read-only; register 05 = 7A), A0 (register 10 = 3C). No device
// answers at 62.
extern const char* const kAppBench;

bridgesim::PacketRecord out(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);
bridgesim::PacketRecord in(std::uint8_t endpoint, std::vector<std::uint8_t> bytes);

class AppFixture : public ::testing::Test {
  protected:
    // Builds the application on kAppBench; nothing is loaded yet.
    void SetUp() override;
    void TearDown() override;

    // Installs a fresh simulated board made from the simulation text behind makeBridge() and
    // builds the application on it with makeApplication(); a text the simulation cannot read
    // fails the test, a bridge that cannot run here skips it.
    void build(const char* simulation);
    // The bridge the program reaches the board through: the simulation backend unless a fixture
    // chooses another.
    virtual std::unique_ptr<TestBridge> makeBridge();
    // Gives the program its events until done() holds, for at most 5 s: a bridge may deliver
    // its events from a thread of its own. False when done() never held.
    bool pumpUntil(const std::function<bool()>& done);
    // The application on the installed board: on the TestHost, shown through `navigator`.
    virtual app::Application& makeApplication();
    // Destroys the application (a fixture with windows of its own closes them first); a second
    // call does nothing.
    virtual void destroyApplication();

    // Starts the program (main window loaded and shown, GPIO panel loaded hidden), then forgets
    // the packets and the log so far.
    void startQuietly();
    // Ticks the manual switch and opens the connection, then forgets packets and log.
    void connectManually();

    console::frmI2C_General& main() { return app->mainWindow(); }
    gpio::frmGPIO& panel() { return app->gpioPanel(); }
    app::ScriptWindows& scripts() { return app->scriptWindows(); }
    board::ProgramState& s() { return board::ProgramStateAccess::of(app->link()); }
    const std::string& log() { return main().Txtlog.Text(); }
    std::vector<bridgesim::PacketRecord> packets() const { return board->packetLog(); }
    // Packets on the I2C endpoints only (2 and 0x82).
    std::vector<bridgesim::PacketRecord> i2cPackets() const;
    // Packets on the GPIO endpoints only (1 and 0x81).
    std::vector<bridgesim::PacketRecord> gpioPackets() const;
    // The I2C read commands sent, as [count, read address, register...].
    std::vector<std::vector<std::uint8_t>> readCommands() const;
    // Times `what` occurs in the log.
    std::size_t countInLog(const std::string& what);

    // One log entry under the fixed clock 2026-12-07 14:05:09.
    static std::string entry(const std::string& message, const std::string& terminator = "\r\n") {
        return message + " :12-07-2026 14:05:09" + terminator + terminator;
    }
    static std::vector<std::uint8_t> gpioReply(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                               std::uint8_t b3);

    form::TestHost host;
    RecordingNavigator navigator;
    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<TestBridge> bridge;  // null before build
    // The application under test; null before build and after destroyApplication.
    app::Application* app = nullptr;

  private:
    std::unique_ptr<app::Application> ownApp_;
};

// Fails the test for every two controls of a window's table that overlap in the same container.
void expectControlsApart(const form::ControlTable& table);

}  // namespace apptest
