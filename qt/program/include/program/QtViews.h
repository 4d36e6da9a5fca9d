// The Qt program without its event loop: the application and a Qt window for each of its
// windows. As the application's navigator it creates a model's window the first time the
// application shows it, brings it to the front on later calls, and ends Qt's event loop when the
// main window unloads. The application is built first and destroyed last, so no window outlives
// the model it shows.
#pragma once

#include <memory>

#include "about/frmAbout2_view.h"
#include "app/Application.h"
#include "app/Navigator.h"
#include "console/frmI2C_General_view.h"
#include "gpio/frmGPIO_view.h"
#include "kit/QtHost.h"
#include "regmap/frmRegisterMap_view.h"
#include "script/ScriptViews_view.h"
#include "startup/frmStartup_view.h"

namespace program {

class QtViews : public app::Navigator {
  public:
    // Builds the application on the host with these views as its navigator; shows nothing yet.
    explicit QtViews(kit::QtHost& host);
    // Closes every window, then the application goes.
    ~QtViews() override;
    QtViews(const QtViews&) = delete;
    QtViews& operator=(const QtViews&) = delete;

    // The style and font every window is designed for: call once after QApplication exists.
    static void applyStyle();

    app::Application& app() { return app_; }

    // The windows, nullptr until first shown.
    console::frmI2C_GeneralView* mainView() { return main_.get(); }
    gpio::frmGPIOView* gpioView() { return gpio_.get(); }
    about::frmAbout2View* aboutView() { return about_.get(); }
    regmap::frmRegisterMapView* registerMapView() { return registerMap_.get(); }
    // Made when the start-up window loads; hidden as the model is.
    startup::frmStartupView* startupView() { return startup_.get(); }
    // The script windows' views.
    script::ScriptViews& scriptViews() { return scripts_; }

    // app::Navigator: each creates the window on first use, renders it and brings it to front.
    void showConsole(console::frmI2C_General& window) override;
    void showGpioPanel(gpio::frmGPIO& panel) override;
    void showScriptWindow(script::frmScriptOps& window) override;
    void showAboutBox(about::frmAbout2& box) override;
    void showRegisterMap(regmap::frmRegisterMap& window) override;
    // Builds the start-up window's view, hidden like its model.
    void startupLoaded(startup::frmStartup& window) override;
    // Hides every window and ends Qt's event loop.
    void quit() override;

  private:
    kit::QtHost& host_;
    // Declared before every view: built first, destroyed last.
    app::Application app_;
    std::unique_ptr<console::frmI2C_GeneralView> main_;
    std::unique_ptr<gpio::frmGPIOView> gpio_;
    std::unique_ptr<about::frmAbout2View> about_;
    std::unique_ptr<regmap::frmRegisterMapView> registerMap_;
    std::unique_ptr<startup::frmStartupView> startup_;
    script::ScriptViews scripts_;
};

}  // namespace program
