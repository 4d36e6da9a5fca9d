#include "startup/frmStartup.h"

namespace startup {

frmStartup::frmStartup(StartupLink& calls) : calls_(calls) {
    Caption = kTitle;
    form::startMenuCaptions(menus());
}

form::ControlTable frmStartup::controls() {
    return {entry(FORM_CONTROL(Picture1), {"", -1, 0, 0, kClientWidth, kClientHeight})};
}

form::MenuTable frmStartup::menus() {
    using form::command;
    using form::Role;
    // Each device entry names one device by its description; it has no handler.
    const char* const devices[] = {"Light Sensor",     "Mux Combo Device", "16 x 16",
                                   "16 x 16 No Clamp", "32 x 32",          "32 x 32 No Clamp"};
    form::MenuTable deviceEntries;
    for (std::size_t i = 0; i < mnuDevice.size(); ++i) {
        deviceEntries.push_back(
            command(FORM_CONTROL(mnuDevice), static_cast<int>(i), devices[i], Role::Live, {}));
    }
    // "About" is an entry of the menu bar itself; it moves no data.
    return {form::menu(FORM_CONTROL(MnuDevSel1), "Device Select", std::move(deviceEntries)),
            command(FORM_CONTROL(mnuAbout), "About", Role::Live, [this] { mnuAbout_Click(); })};
}

void frmStartup::Form_Load() {
    Loaded = true;
    Visible = false;
    calls_.showMainWindow();
}

void frmStartup::mnuAbout_Click() {
    calls_.showAboutBox();
}

}  // namespace startup
