// A Navigator for tests and benchmarks: shows nothing and records what the application asked
// to show, in order.
#pragma once

#include <vector>

#include "about/frmAbout2.h"
#include "app/Navigator.h"
#include "console/frmI2C_General.h"
#include "form/Window.h"
#include "gpio/frmGPIO.h"
#include "script/frmScriptOps.h"
#include "startup/frmStartup.h"

namespace apptest {

class RecordingNavigator : public app::Navigator {
  public:
    // Records the window; never fails.
    void showConsole(console::frmI2C_General& window) override { shown.push_back(&window); }
    // Records the panel; never fails.
    void showGpioPanel(gpio::frmGPIO& panel) override { shown.push_back(&panel); }
    // Records the window; never fails.
    void showScriptWindow(script::frmScriptOps& window) override { shown.push_back(&window); }
    // Counts the request (About boxes are not recorded in `shown`); never fails.
    void showAboutBox(about::frmAbout2&) override { ++aboutBoxes; }
    // Counts the request; never fails.
    void showRegisterMap(regmap::frmRegisterMap&) override { ++registerMaps; }
    // Counts the load; never fails.
    void startupLoaded(startup::frmStartup&) override { ++startupLoads; }
    // Counts the request; never fails.
    void quit() override { ++quits; }

    std::vector<const form::Window*> shown;  // every window shown, again when shown again
    int aboutBoxes = 0;
    int registerMaps = 0;
    int startupLoads = 0;
    int quits = 0;
};

}  // namespace apptest
