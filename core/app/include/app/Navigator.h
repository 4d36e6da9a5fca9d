// Where the application's windows become visible to the user: the Qt program opens a window for
// each model, the headless runner has nothing to show and the tests record what was asked. The
// application calls it after it has loaded the model and set it visible, so an implementation
// only presents the window; none of these calls can fail.
#pragma once

namespace console {
class frmI2C_General;
}
namespace gpio {
class frmGPIO;
}
namespace script {
class frmScriptOps;
}
namespace about {
class frmAbout2;
}
namespace startup {
class frmStartup;
}
namespace regmap {
class frmRegisterMap;
}

namespace app {

class Navigator {
  public:
    virtual ~Navigator() = default;
    // Presents the main window (register console) and brings it to the front.
    virtual void showConsole(console::frmI2C_General& window) = 0;
    // Presents the GPIO panel and brings it to the front; called again for a panel already shown.
    virtual void showGpioPanel(gpio::frmGPIO& panel) = 0;
    // Presents a script window (the shared one or a further copy) and brings it to the front.
    virtual void showScriptWindow(script::frmScriptOps& window) = 0;
    // Presents the About box and brings it to the front; called again for a box already shown.
    virtual void showAboutBox(about::frmAbout2& box) = 0;
    // Presents the "Register Map" window and brings it to the front; a front end without
    // windows shows nothing.
    virtual void showRegisterMap(regmap::frmRegisterMap& window) { (void)window; }
    // The start-up window has loaded, hidden itself and shown the main window: an implementation
    // makes its window, hidden; nothing is shown.
    virtual void startupLoaded(startup::frmStartup& window) = 0;
    // The main window has unloaded: every window goes and the program ends.
    virtual void quit() = 0;
};

}  // namespace app
