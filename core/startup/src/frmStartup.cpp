#include "startup/frmStartup.h"

namespace startup {

frmStartup::frmStartup(StartupLink& calls) : calls_(calls) {
    Caption = kTitle;
    MnuDevSel1.Caption = "Device Select";
    // Each entry names one device by its description.
    const char* const devices[] = {"Light Sensor",     "Mux Combo Device", "16 x 16",
                                   "16 x 16 No Clamp", "32 x 32",          "32 x 32 No Clamp"};
    for (std::size_t i = 0; i < mnuDevice.size(); ++i) {
        mnuDevice[i].Caption = devices[i];
    }
    mnuAbout.Caption = "About";
}

form::ControlTable frmStartup::controls() {
    return {entry(FORM_CONTROL(Picture1), {"", -1, 0, 0, kClientWidth, kClientHeight})};
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
