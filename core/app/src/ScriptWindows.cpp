#include "app/ScriptWindows.h"

#include <algorithm>

namespace app {

void ScriptWindows::MainLink::cmdUSBConnect_Click() {
    app_.mainWindow().cmdUSBConnect_Click();
}

void ScriptWindows::MainLink::cmdUSBDisconnect_Click() {
    app_.mainWindow().cmdUSBDisconnect_Click();
}

board::I2cAddress ScriptWindows::MainLink::consoleAddress() {
    return app_.mainWindow().address();
}

void ScriptWindows::GpioLink::cmdGPIO_Write_Click() {
    app_.gpioPanel().cmdGPIO_Write_Click();
}

void ScriptWindows::GpioLink::cmdWrite_GPIO_Data_Click() {
    app_.gpioPanel().cmdWrite_GPIO_Data_Click();
}

bool ScriptWindows::GpioLink::exchangeAnswered() {
    return app_.gpioPanel().lastExchangeAnswered();
}

std::string ScriptWindows::GpioLink::txtPCHexData(int index) {
    auto& boxes = app_.gpioPanel().txtPCHexData;
    return index >= 0 && index < static_cast<int>(boxes.size())
               ? boxes[static_cast<std::size_t>(index)].Text()
               : std::string();
}

std::string ScriptWindows::GpioLink::txtPCHex(int index) {
    auto& boxes = app_.gpioPanel().txtPCHex;
    return index >= 0 && index < static_cast<int>(boxes.size())
               ? boxes[static_cast<std::size_t>(index)].Text()
               : std::string();
}

ScriptWindows::ScriptWindows(Application& app, Navigator& navigator)
    : app_(app), navigator_(navigator), mainLink_(app), gpioLink_(app) {}

ScriptWindows::~ScriptWindows() {
    // The board link may still point at one of these windows.
    const form::Window* active = app_.link().activeWindow();
    auto owned = [active](const std::unique_ptr<script::frmScriptOps>& w) {
        return w && active == w.get();
    };
    if (owned(shared_) || std::any_of(others_.begin(), others_.end(), owned) ||
        std::any_of(closed_.begin(), closed_.end(), owned)) {
        app_.link().setActiveWindow(nullptr);
    }
}

std::unique_ptr<script::frmScriptOps> ScriptWindows::makeWindow() {
    return std::make_unique<script::frmScriptOps>(app_.link(), runState_, mainLink_, gpioLink_,
                                                  [this] { openAnother(); });
}

script::frmScriptOps& ScriptWindows::sharedWindow() {
    if (!shared_ || !shared_->Loaded) {
        if (shared_) {
            closed_.push_back(std::move(shared_));
        }
        shared_ = makeWindow();
        shared_->Form_Load();
    }
    return *shared_;
}

void ScriptWindows::show(script::frmScriptOps& window) {
    window.Visible = true;
    navigator_.showScriptWindow(window);
}

void ScriptWindows::showSharedWindow() {
    show(sharedWindow());
}

script::frmScriptOps& ScriptWindows::openAnother() {
    others_.push_back(makeWindow());
    script::frmScriptOps& window = *others_.back();
    window.Form_Load();
    show(window);
    return window;
}

void ScriptWindows::close(script::frmScriptOps& window) {
    window.Form_Terminate();
    auto it = std::find_if(others_.begin(), others_.end(),
                           [&window](const auto& w) { return w.get() == &window; });
    if (it != others_.end()) {
        closed_.push_back(std::move(*it));
        others_.erase(it);
    }
}

void ScriptWindows::collectClosed() {
    closed_.clear();
}

std::vector<script::frmScriptOps*> ScriptWindows::openWindows() {
    std::vector<script::frmScriptOps*> result;
    if (shared_ && shared_->Loaded) {
        result.push_back(shared_.get());
    }
    for (auto& w : others_) {
        if (w->Loaded) {
            result.push_back(w.get());
        }
    }
    return result;
}

}  // namespace app
