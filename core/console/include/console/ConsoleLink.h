// What the register console needs of the GPIO panel and of the application: the panel's LED data
// boxes and operations for the communication test and the load, the menu destinations and the
// end of the program. The application implements it, loading the GPIO panel hidden on first use.
#pragma once

#include "form/Controls.h"

namespace console {

class ConsoleLink {
  public:
    virtual ~ConsoleLink() = default;
    // The GPIO panel's LED data box: 0 red, 1 green (any other index is green).
    virtual form::CheckBox& gpioLedData(int index) = 0;
    // The GPIO panel's click handler of that LED data box.
    virtual void gpioLedDataClick(int index) = 0;
    // The GPIO panel's full write-and-read; failures are logged and leave "--" read back.
    virtual void gpioWrite() = 0;
    // "File" > "Open" > "Script Execution": shows the shared script window.
    virtual void showScriptWindow() = 0;
    // "GPIO": shows the GPIO panel.
    virtual void showGpioPanel() = 0;
    // "File" > "Open" > "Register Map...": shows the register-map window.
    virtual void showRegisterMap() = 0;
    // "About": shows the About box.
    virtual void showAboutBox() = 0;
    // Ends the whole program, every other window with it.
    virtual void endProgram() = 0;
};

}  // namespace console
