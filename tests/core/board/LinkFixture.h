// A board link on the simulated bridge board with a fixed clock and a stand-alone main window.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "SimBench.h"
#include "board/BoardLink.h"
#include "board/HexText.h"
#include "bridgeproto/BridgeIds.h"
#include "testing/ProgramStateAccess.h"
#include "testing/TestHost.h"

namespace boardtest {

class LinkFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        bench = std::make_unique<SimBench>(benchJson());
        host.pump = [] { WDU_VB_PumpEvents(); };
        link = std::make_unique<board::BoardLink>(host, main);
        link->InitColors();
    }
    void TearDown() override {
        link.reset();
        bench.reset();
    }
    virtual std::string benchJson() { return kTestBench; }

    // The date and time every entry carries under the fixed clock 2026-12-07 14:05:09.
    static std::string stamp() { return " :12-07-2026 14:05:09"; }
    static std::string entry(const std::string& message, const std::string& terminator = "\r\n") {
        return message + stamp() + terminator + terminator;
    }
    const std::string& log() { return main.Txtlog().Text(); }
    board::ProgramState& s() { return board::ProgramStateAccess::of(*link); }
    std::string status(std::uint32_t code) {
        return "&H" + board::HexText(code) + " (" + link->StatusText(code) + ")";
    }
    std::string attachEntry(WDU_DEVICE_HANDLE device) {
        return entry("DeviceAttach: Received and accepted attach for \r\nvendor ID &H" +
                     board::HexText(velmorix::kBridgeVendorId) + " product ID &H" +
                     board::HexText(velmorix::kBridgeProductId) + "\r\ndevice handle &H" +
                     board::HexText(device)) +
               entry("");
    }
    // Connects with the board attached and forgets the log so far.
    void connectQuietly() {
        link->Connect_Usb();
        ASSERT_EQ(s().UsbOpened, board::True);
        ASSERT_NE(s().AttachContext.AttachedDevice, 0u);
        main.Txtlog().setText("");
        bench->clearPackets();
    }

    form::TestHost host;
    board::StandaloneMainWindow main;
    std::unique_ptr<SimBench> bench;
    std::unique_ptr<board::BoardLink> link;
};

}  // namespace boardtest
