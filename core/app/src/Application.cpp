#include "app/Application.h"

#include "app/ScriptWindows.h"
#include "board/TextHelpers.h"

namespace app {

Application::Application(form::Host& host, Navigator& navigator)
    : host_(host),
      navigator_(navigator),
      link_(std::make_unique<board::BoardLink>(host, *this)),
      scripts_(std::make_unique<ScriptWindows>(*this, navigator)) {}

Application::~Application() {
    // The script windows let go of the board link while it still exists.
    scripts_.reset();
    // The board link may still log while it closes; that must not load a main window now.
    tearingDown_ = true;
    link_.reset();
}

void Application::start() {
    startupWindow();
}

startup::frmStartup& Application::startupWindow() {
    if (!startup_) {
        startup_ = std::make_unique<startup::frmStartup>(*this);
        startup_->Form_Load();
        navigator_.startupLoaded(*startup_);
    }
    return *startup_;
}

console::frmI2C_General& Application::mainWindow() {
    if (!main_) {
        main_ = std::make_unique<console::frmI2C_General>(*link_, *this);
        // What the board link wrote before the window existed leads its log.
        main_->Txtlog.setText(detached_.Txtlog().Text());
        detached_.Txtlog().setText("");
        main_->Form_Load();
    }
    return *main_;
}

void Application::showMainWindow() {
    auto& window = mainWindow();
    window.Visible = true;
    navigator_.showConsole(window);
}

bool Application::closeMainWindow() {
    auto& window = mainWindow();
    bool cancel = false;
    window.Form_QueryUnload(cancel);
    if (cancel) {
        return false;
    }
    window.Form_Unload();
    return true;
}

bool Application::requestMainWindowClose() {
    bool closed = false;
    if (!gate_.dispatch([this, &closed] { closed = closeMainWindow(); })) {
        mainWindow().showCloseRefused();
    }
    return closed;
}

gpio::frmGPIO& Application::gpioPanel() {
    if (!gpio_) {
        gpio_ = std::make_unique<gpio::frmGPIO>(*link_);
    }
    if (!gpio_->Loaded) {
        gpio_->Form_Load();
    }
    return *gpio_;
}

void Application::showGpioPanel() {
    auto& panel = gpioPanel();
    panel.Visible = true;
    navigator_.showGpioPanel(panel);
}

void Application::closeGpioPanel() {
    // The object stays, so an operation of the panel still running at a yield finishes safely;
    // the next use loads it afresh.
    if (gpio_ && gpio_->Loaded) {
        gpio_->Form_Unload();
    }
}

regmap::frmRegisterMap& Application::registerMap() {
    if (!registerMap_) {
        registerMap_ = std::make_unique<regmap::frmRegisterMap>(*link_, *this);
    }
    if (!registerMap_->Loaded) {
        registerMap_->memoryFile = registerMapMemory_;
        registerMap_->Form_Load();
    }
    return *registerMap_;
}

void Application::showRegisterMap() {
    auto& window = registerMap();
    window.Visible = true;
    navigator_.showRegisterMap(window);
}

void Application::closeRegisterMap() {
    if (registerMap_) {
        registerMap_->Visible = false;
    }
}

board::I2cAddress Application::consoleAddress() {
    return mainWindow().address();
}

void Application::connectBoard() {
    mainWindow().cmdUSBConnect_Click();
}

void Application::disconnectBoard() {
    mainWindow().cmdUSBDisconnect_Click();
}

void Application::showScriptWindow() {
    scripts_->showSharedWindow();
}

about::frmAbout2& Application::aboutBox() {
    if (!about_) {
        about_ = std::make_unique<about::frmAbout2>(*link_, sysInfo_);
    }
    if (!about_->Loaded) {
        about_->Form_Load();
    }
    return *about_;
}

void Application::showAboutBox() {
    auto& box = aboutBox();
    box.Visible = true;
    navigator_.showAboutBox(box);
}

void Application::closeAboutBox() {
    if (about_ && about_->Loaded) {
        about_->Form_Unload();
    }
}

form::CheckBox& Application::gpioLedData(int index) {
    return gpioPanel().ChKLedData[index == 0 ? 0 : 1];
}

void Application::gpioLedDataClick(int index) {
    gpioPanel().ChKLedData_Click(index);
}

void Application::gpioWrite() {
    gpioPanel().cmdGPIO_Write_Click();
}

void Application::endProgram() {
    quit_ = true;
    // Every other window goes with the program, without its own unload step.
    if (gpio_) {
        gpio_->Visible = false;
    }
    if (about_) {
        about_->Visible = false;
    }
    if (registerMap_) {
        registerMap_->Visible = false;
    }
    for (script::frmScriptOps* window : scripts_->openWindows()) {
        window->Visible = false;
    }
    navigator_.quit();
}

bool Application::attached() const {
    return main_ != nullptr && !tearingDown_;
}

form::TextBox& Application::Txtlog() {
    return attached() ? main_->Txtlog : detached_.Txtlog();
}

form::Lamp& Application::shpLogStatus() {
    return attached() ? main_->shpLogStatus : detached_.shpLogStatus();
}

form::TextBox& Application::txthDriver() {
    return attached() ? main_->txthDriver : detached_.txthDriver();
}

form::Button& Application::cbNoc() {
    return attached() ? main_->cbNoc : detached_.cbNoc();
}

form::Lamp& Application::shpUSBCon(int index) {
    return attached() ? main_->shpUSBCon[index == 0 ? 0 : 1] : detached_.shpUSBCon(index);
}

form::Lamp& Application::ShpHandleStatus() {
    return attached() ? main_->ShpHandleStatus : detached_.ShpHandleStatus();
}

form::Lamp& Application::ShpAttach() {
    return attached() ? main_->ShpAttach : detached_.ShpAttach();
}

std::uintptr_t Application::mainHWnd() {
    return attached() ? main_->hWnd() : detached_.mainHWnd();
}

}  // namespace app
