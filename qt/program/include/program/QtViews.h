// The Qt windows of the application: creates each model's window the first time the
// application shows it, brings it to the front on later calls, and ends Qt's event loop when
// the main window unloads.
#pragma once

#include <memory>

#include "app/Application.h"
#include "console/frmI2C_General_view.h"
#include "gpio/frmGPIO_view.h"
#include "kit/QtHost.h"

namespace program {

class QtViews {
  public:
    // Takes over the application's showWindow and onQuit hooks.
    QtViews(app::Application& app, kit::QtHost& host);
    // Gives the hooks back and closes the windows.
    ~QtViews();
    QtViews(const QtViews&) = delete;
    QtViews& operator=(const QtViews&) = delete;

    // The style and font every window is designed for: call once after QApplication exists.
    static void applyStyle();

    // The windows, nullptr until first shown.
    console::frmI2C_GeneralView* mainView() { return main_.get(); }
    gpio::frmGPIOView* gpioView() { return gpio_.get(); }

  private:
    void show(form::Window& window);
    void quit();

    app::Application& app_;
    kit::QtHost& host_;
    std::unique_ptr<console::frmI2C_GeneralView> main_;
    std::unique_ptr<gpio::frmGPIOView> gpio_;
};

}  // namespace program
