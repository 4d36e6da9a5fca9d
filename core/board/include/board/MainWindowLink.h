// The main window's controls that the board link writes: the log box, its lamp and the
// connection indicators. The application wires it to the one main window once that is loaded
// (stand-ins before), so the board link never depends on the console.
#pragma once

#include "form/Controls.h"
#include "form/Window.h"

namespace board {

class MainWindowLink {
  public:
    virtual ~MainWindowLink() = default;
    virtual form::TextBox& Txtlog() = 0;
    virtual form::Lamp& shpLogStatus() = 0;
    virtual form::TextBox& txthDriver() = 0;
    virtual form::Button& cbNoc() = 0;
    // index 0 lit while connected, 1 while disconnected
    virtual form::Lamp& shpUSBCon(int index) = 0;
    virtual form::Lamp& ShpHandleStatus() = 0;
    virtual form::Lamp& ShpAttach() = 0;
    // The main window's handle, given to the driver by Connect_Usb.
    virtual std::uintptr_t mainHWnd() = 0;
};

// Stand-alone controls for tests and headless runs where no main window exists.
class StandaloneMainWindow : public MainWindowLink {
  public:
    form::TextBox& Txtlog() override { return log_; }
    form::Lamp& shpLogStatus() override { return logLamp_; }
    form::TextBox& txthDriver() override { return driver_; }
    form::Button& cbNoc() override { return noc_; }
    form::Lamp& shpUSBCon(int index) override { return con_[index == 0 ? 0 : 1]; }
    form::Lamp& ShpHandleStatus() override { return handle_; }
    form::Lamp& ShpAttach() override { return attach_; }
    std::uintptr_t mainHWnd() override { return window_.hWnd(); }

  private:
    form::TextBox log_, driver_;
    form::Lamp logLamp_, con_[2], handle_, attach_;
    form::Button noc_;
    form::Window window_;
};

}  // namespace board
