#include "app/Application.h"

namespace app {

Application::Application(form::Host& host)
    : host_(host), link_(std::make_unique<board::BoardLink>(host, *this)) {}

Application::~Application() {
    // The board link may still log while it closes; that must not load a main window now.
    tearingDown_ = true;
    link_.reset();
}

void Application::start() {
    showMainWindow();
}

console::frmI2C_General& Application::mainWindow() {
    if (!main_) {
        main_ = std::make_unique<console::frmI2C_General>(*link_, consoleCalls());
        main_->Form_Load();
    }
    return *main_;
}

void Application::showMainWindow() {
    auto& window = mainWindow();
    window.Visible = true;
    if (showWindow) {
        showWindow(window);
    }
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
    if (showWindow) {
        showWindow(panel);
    }
}

void Application::closeGpioPanel() {
    // The object stays, so an operation of the panel still running at a yield finishes safely;
    // the next use loads it afresh.
    if (gpio_ && gpio_->Loaded) {
        gpio_->Form_Unload();
    }
}

console::frmI2C_General::Calls Application::consoleCalls() {
    console::frmI2C_General::Calls calls;
    calls.gpioLedData = [this](int index) -> form::CheckBox& {
        return gpioPanel().ChKLedData[index == 0 ? 0 : 1];
    };
    calls.gpioLedDataClick = [this](int index) { gpioPanel().ChKLedData_Click(index); };
    calls.gpioWrite = [this] { gpioPanel().cmdGPIO_Write_Click(); };
    calls.openSetupFile = [this] {
        if (openSetupFile) {
            openSetupFile();
        }
    };
    calls.saveSetupFile = [this] {
        if (saveSetupFile) {
            saveSetupFile();
        }
    };
    calls.showScriptWindow = [this] {
        if (showScriptWindow) {
            showScriptWindow();
        }
    };
    calls.showGpioPanel = [this] { showGpioPanel(); };
    calls.showAboutBox = [this] {
        if (showAboutBox) {
            showAboutBox();
        }
    };
    calls.endProgram = [this] { endProgram(); };
    return calls;
}

void Application::endProgram() {
    quit_ = true;
    if (gpio_) {
        gpio_->Visible = false;
    }
    if (onQuit) {
        onQuit();
    }
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
