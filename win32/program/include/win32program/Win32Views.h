// The Win32 program without its message loop: the application and a window for each of its
// windows. As the application's navigator it creates a model's window the first time the
// application shows it, brings it to the front on later calls, and ends the message loop when
// the main window unloads. The application is built first and destroyed last, so no window
// outlives the model it shows.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/Navigator.h"
#include "win32kit/Win32Host.h"
#include "win32views/ConsoleWindow.h"
#include "win32views/RegisterMapWindow.h"
#include "win32views/ScriptWindow.h"
#include "win32views/TableWindow.h"

namespace win32program {

class Win32Views : public app::Navigator {
  public:
    // Builds the application on the host with these views as its navigator; shows nothing yet.
    explicit Win32Views(win32kit::Win32Host& host);
    ~Win32Views() override;
    Win32Views(const Win32Views&) = delete;
    Win32Views& operator=(const Win32Views&) = delete;

    app::Application& app() { return app_; }

    // The windows, nullptr until first shown.
    win32views::ConsoleWindow* mainView() { return main_.get(); }
    win32views::TableWindow* gpioView() { return gpio_.get(); }
    win32views::TableWindow* aboutView() { return about_.get(); }
    win32views::TableWindow* startupView() { return startup_.get(); }
    win32views::RegisterMapWindow* registerMapView() { return registerMap_.get(); }

    // app::Navigator: each creates the window on first use, renders it and brings it to front.
    void showConsole(console::frmI2C_General& window) override;
    void showGpioPanel(gpio::frmGPIO& panel) override;
    void showScriptWindow(script::frmScriptOps& window) override;
    void showAboutBox(about::frmAbout2& box) override;
    void showRegisterMap(regmap::frmRegisterMap& window) override;
    // Builds the start-up window's view, hidden like its model.
    void startupLoaded(startup::frmStartup& window) override;
    // Hides every window and ends the message loop.
    void quit() override;

    // The view of a script window; nullptr when it has none (never shown, or closed).
    win32views::ScriptWindow* scriptView(const script::frmScriptOps& window) const;

  private:
    // The user closed a script window: it closes in the application and its view goes once no
    // handler runs.
    void scriptClosed(script::frmScriptOps& window);
    // Frees the views and windows closed so far unless a handler runs.
    void collectClosed();

    win32kit::Win32Host& host_;
    // Declared before every view: built first, destroyed last.
    app::Application app_;
    std::unique_ptr<win32views::ConsoleWindow> main_;
    std::unique_ptr<win32views::TableWindow> gpio_;
    std::unique_ptr<win32views::TableWindow> about_;
    std::unique_ptr<win32views::TableWindow> startup_;
    std::unique_ptr<win32views::RegisterMapWindow> registerMap_;
    std::vector<std::pair<const script::frmScriptOps*, std::unique_ptr<win32views::ScriptWindow>>>
        scripts_;
    std::vector<std::unique_ptr<win32views::ScriptWindow>> closedScripts_;
};

}  // namespace win32program
