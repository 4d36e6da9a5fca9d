// The start-up window as a model without any toolkit: the first window the program loads. Its
// load hides it at once and shows the main window; it stays loaded and hidden for the rest of
// the run, so its menu is never reached in normal use. Controls are public members named as the
// controls, handlers member functions named as the handlers.
//
// Layout for the view (twips, 15 to a pixel): kClientWidth x kClientHeight is the client area
// below the menu bar, which Picture1 fills. The menu bar holds "Device Select" (MnuDevSel1, with
// the six entries mnuDevice, which have no handlers) and "About" (mnuAbout).
#pragma once

#include <array>

#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/MenuTable.h"
#include "form/Window.h"
#include "startup/StartupLink.h"

namespace startup {

class frmStartup : public form::Window {
  public:
    static constexpr int kClientWidth = 6000;
    static constexpr int kClientHeight = 3600;
    static constexpr const char* kTitle = "Velmorix I2C Video Mux Control Software";

    // Sets every control to its design state; nothing runs until Form_Load.
    explicit frmStartup(StartupLink& calls);

    // Picture1 with its design place; refers to this window's member.
    form::ControlTable controls();
    // The menu bar: "Device Select" with its six entries, and "About".
    form::MenuTable menus();

    form::Picture Picture1;
    form::MenuItem MnuDevSel1;                // "Device Select"
    std::array<form::MenuItem, 6> mnuDevice;  // the maker's devices: choosing one does nothing
    form::MenuItem mnuAbout;                  // "About"

    // Hides this window and shows the main window, which loads first (one connect and
    // disconnect, the initial GPIO write); failures there go to the main window's log.
    void Form_Load();
    // Shows the About box.
    void mnuAbout_Click();

  private:
    StartupLink& calls_;
};

}  // namespace startup
