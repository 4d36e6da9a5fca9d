// The libusb backend of the USB layer, with the board behind an emulated usbdevfs node: the
// program's requests take the real libusb path, and attach and detach arrive from libusb's own
// threads. Runs only under LD_PRELOAD=libumockdev-preload.so.0.
#pragma once

#include <memory>

#include "emulator/EmulatedBridge.h"
#include "testing/TestBridge.h"

namespace apptest {

class EmulatedUsbBridge : public TestBridge {
  public:
    // Plugs the board in when its simulation starts attached; false outside the preload or when
    // the emulation fails.
    bool install(std::shared_ptr<bridgesim::Board> board, std::string& why) override;
    // Pulls the cable: the node dies, libusb hears "remove".
    void unplug() override;
    // Plugs the board in as a new device; a failure fails the test.
    void plugIn() override;
    // Cuts the cable right after the transfer before the n-th.
    void unplugAtTransfer(std::uint32_t n) override;
    // The reply never comes: libusb discards the read at its time-out.
    void timeOutOn(std::uint8_t endpoint) override;

  private:
    std::shared_ptr<bridgesim::Board> board_;
    std::unique_ptr<EmulatedBridge> emulated_;
};

}  // namespace apptest
