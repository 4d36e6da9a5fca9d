// The application object: owns the board link, the one instance of each window (start-up window,
// main window, GPIO panel, About box), the script windows and the gate that keeps user events
// from starting a second exchange. It creates and loads each window on first use, wires the calls
// between windows, and gives the board link the main window's log and indicators once that
// window is loaded. No toolkit: the Qt program, the headless runner and the tests
// each pass their own Host and Navigator.
#pragma once

#include <memory>

#if defined(_WIN32)
#include "about/WindowsRegistryPlatform.h"
#else
#include "about/NoRegistryPlatform.h"
#endif
#include "about/frmAbout2.h"
#include "app/Navigator.h"
#include "board/BoardLink.h"
#include "board/MainWindowLink.h"
#include "console/ConsoleLink.h"
#include "console/frmI2C_General.h"
#include "form/Host.h"
#include "form/UserEventGate.h"
#include "gpio/frmGPIO.h"
#include "regmap/RegisterMapLink.h"
#include "regmap/frmRegisterMap.h"
#include "startup/StartupLink.h"
#include "startup/frmStartup.h"

namespace app {

class ScriptWindows;

class Application : public board::MainWindowLink,
                    public console::ConsoleLink,
                    public startup::StartupLink,
                    public regmap::RegisterMapLink {
  public:
    // Keeps both references; the navigator is only called once a window is shown, and never
    // while the application is being destroyed.
    Application(form::Host& host, Navigator& navigator);
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    form::Host& host() { return host_; }
    board::BoardLink& link() { return *link_; }
    // Views send every data-moving user event through this one gate.
    form::UserEventGate& gate() { return gate_; }

    // Starts the program: loads the start-up window, which hides itself and shows the main
    // window (loading it first). Board failures go to the main window's log.
    void start();
    // The start-up window, created and loaded (which hides it and shows the main window) on
    // first use; it stays loaded and hidden for the rest of the run.
    startup::frmStartup& startupWindow();

    // The main window, created and loaded (not shown) on first use; loaded once per run.
    console::frmI2C_General& mainWindow();
    bool mainWindowLoaded() const { return main_ != nullptr; }
    // Loads the main window if needed, makes it visible and has the navigator show it.
    void showMainWindow() override;
    // A close request on the main window (close box, shutdown): false when refused because
    // the connection is open; otherwise the window unloads and the program ends.
    bool closeMainWindow();
    // A close request from the user (close box, shutdown), through the gate: while another
    // operation runs it is refused with the same log line as a close while connected, so the
    // user always learns why the window stays. False when refused.
    bool requestMainWindowClose();
    // True once the main window has unloaded; the program's event loop then stops.
    bool quitRequested() const { return quit_; }

    // The GPIO panel, loaded without being shown on first use and after a close.
    gpio::frmGPIO& gpioPanel();
    bool gpioPanelLoaded() const { return gpio_ != nullptr && gpio_->Loaded; }
    // Loads the panel if needed, makes it visible and has the navigator show it; a second call
    // only brings it to the front.
    void showGpioPanel() override;
    // The panel's window was closed: it unloads (GpioState stays) and loads afresh on next use.
    void closeGpioPanel();

    // The script windows: the shared one, its further copies and their run state.
    ScriptWindows& scriptWindows() { return *scripts_; }
    // Loads the shared script window if needed (its load asks for a script file) and has the
    // navigator show it.
    void showScriptWindow() override;
    // The About box, loaded on first use and afresh after it was closed.
    about::frmAbout2& aboutBox();
    bool aboutBoxLoaded() const { return about_ != nullptr && about_->Loaded; }
    // Loads the About box if needed, makes it visible and has the navigator show it; a second
    // call only brings it to the front.
    void showAboutBox() override;
    // The About box's window was closed: it unloads and loads afresh on next use.
    void closeAboutBox();

    // The "Register Map" window, created and loaded on first use; closing only hides it, so its
    // map and values stay for the next show.
    regmap::frmRegisterMap& registerMap();
    // Loads the window if needed, makes it visible and has the navigator show it.
    void showRegisterMap() override;
    void closeRegisterMap();
    // The file that remembers the window's last map between runs; "" (the default) remembers
    // nothing. Takes effect at the window's load.
    void setRegisterMapMemory(std::string path) { registerMapMemory_ = std::move(path); }

    // board::MainWindowLink: the main window's log and indicators once it is loaded. Until then,
    // and while the application is torn down, stand-ins take them: a getter never loads the
    // window, whose load connects to the board. Log lines written before the load lead its log.
    form::TextBox& Txtlog() override;
    form::Lamp& shpLogStatus() override;
    form::TextBox& txthDriver() override;
    form::Button& cbNoc() override;
    form::Lamp& shpUSBCon(int index) override;
    form::Lamp& ShpHandleStatus() override;
    form::Lamp& ShpAttach() override;
    std::uintptr_t mainHWnd() override;

  private:
    // console::ConsoleLink: the GPIO panel for the console, loaded hidden on first use.
    form::CheckBox& gpioLedData(int index) override;
    void gpioLedDataClick(int index) override;
    void gpioWrite() override;
    void endProgram() override;
    // regmap::RegisterMapLink: the console's address and connection buttons.
    board::I2cAddress consoleAddress() override;
    void connectBoard() override;
    void disconnectBoard() override;

    form::Host& host_;
    Navigator& navigator_;
    form::UserEventGate gate_;
    // True when the board link writes to the main window, false when to detached_.
    bool attached() const;
    // Receives what the board link writes while no main window exists: before it is loaded,
    // and while the application is being torn down.
    board::StandaloneMainWindow detached_;
    bool tearingDown_ = false;
    std::unique_ptr<board::BoardLink> link_;
    std::unique_ptr<console::frmI2C_General> main_;
    std::unique_ptr<gpio::frmGPIO> gpio_;
    std::unique_ptr<ScriptWindows> scripts_;
    // Where the About box finds the system-information tool: the registry on Windows, nowhere
    // elsewhere.
#if defined(_WIN32)
    about::WindowsRegistryPlatform sysInfo_;
#else
    about::NoRegistryPlatform sysInfo_;
#endif
    std::unique_ptr<about::frmAbout2> about_;
    std::unique_ptr<startup::frmStartup> startup_;
    std::unique_ptr<regmap::frmRegisterMap> registerMap_;
    std::string registerMapMemory_;
    bool quit_ = false;
};

}  // namespace app
