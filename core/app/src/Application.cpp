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
    for (script::frmScriptOps* window : scripts_->openWindows()) {
        window->Visible = false;
    }
    navigator_.quit();
}

form::TextBox& Application::Txtlog() {
    return tearingDown_ ? teardownSink_.Txtlog() : mainWindow().Txtlog;
}

form::Lamp& Application::shpLogStatus() {
    return tearingDown_ ? teardownSink_.shpLogStatus() : mainWindow().shpLogStatus;
}

form::TextBox& Application::txthDriver() {
    return tearingDown_ ? teardownSink_.txthDriver() : mainWindow().txthDriver;
}

form::Button& Application::cbNoc() {
    return tearingDown_ ? teardownSink_.cbNoc() : mainWindow().cbNoc;
}

form::Lamp& Application::shpUSBCon(int index) {
    return tearingDown_ ? teardownSink_.shpUSBCon(index)
                        : mainWindow().shpUSBCon[index == 0 ? 0 : 1];
}

form::Lamp& Application::ShpHandleStatus() {
    return tearingDown_ ? teardownSink_.ShpHandleStatus() : mainWindow().ShpHandleStatus;
}

form::Lamp& Application::ShpAttach() {
    return tearingDown_ ? teardownSink_.ShpAttach() : mainWindow().ShpAttach;
}

std::uintptr_t Application::mainHWnd() {
    return tearingDown_ ? teardownSink_.mainHWnd() : mainWindow().hWnd();
}

}  // namespace app
