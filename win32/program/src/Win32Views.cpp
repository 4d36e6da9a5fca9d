#include "win32program/Win32Views.h"

#include <algorithm>

#include "about/frmAbout2.h"
#include "app/ScriptWindows.h"
#include "gpio/frmGPIO.h"
#include "startup/frmStartup.h"
#include "win32views/AboutLogo.h"

namespace win32program {

namespace {

void bringToFront(HWND w) {
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
}

}  // namespace

Win32Views::Win32Views(win32kit::Win32Host& host) : host_(host), app_(host, *this) {}

// The views go first (in reverse order), the application last.
Win32Views::~Win32Views() = default;

void Win32Views::showConsole(console::frmI2C_General& window) {
    if (!main_) {
        main_ = std::make_unique<win32views::ConsoleWindow>(window, app_.gate(), host_, [this] {
            const bool closed = app_.requestMainWindowClose();
            host_.renderAll();
            return closed;
        });
    }
    main_->render();
    bringToFront(main_->handle());
}

void Win32Views::showGpioPanel(gpio::frmGPIO& panel) {
    if (!gpio_) {
        gpio_ = std::make_unique<win32views::TableWindow>(
            panel, panel.controls(), app_.gate(), host_,
            win32views::TableWindow::Design{gpio::frmGPIO::kClientWidth,
                                            gpio::frmGPIO::kClientHeight,
                                            [this] { app_.closeGpioPanel(); }});
    }
    gpio_->show();
}

void Win32Views::showScriptWindow(script::frmScriptOps& window) {
    collectClosed();
    win32views::ScriptWindow* view = scriptView(window);
    if (view == nullptr) {
        auto made = std::make_unique<win32views::ScriptWindow>(
            window, app_.gate(), host_, [this, &window] { scriptClosed(window); });
        view = made.get();
        scripts_.emplace_back(&window, std::move(made));
    }
    view->show();
}

win32views::ScriptWindow* Win32Views::scriptView(const script::frmScriptOps& window) const {
    for (const auto& [model, view] : scripts_) {
        if (model == &window) {
            return view.get();
        }
    }
    return nullptr;
}

void Win32Views::scriptClosed(script::frmScriptOps& window) {
    auto found = std::find_if(scripts_.begin(), scripts_.end(),
                              [&window](const auto& v) { return v.first == &window; });
    if (found == scripts_.end()) {
        return;
    }
    app_.scriptWindows().close(window);
    found->second->hide();
    closedScripts_.push_back(std::move(found->second));
    scripts_.erase(found);
}

void Win32Views::collectClosed() {
    if (app_.gate().busy()) {
        return;
    }
    closedScripts_.clear();
    app_.scriptWindows().collectClosed();
}

void Win32Views::showAboutBox(about::frmAbout2& box) {
    if (!about_) {
        win32views::TableWindow::Design design{about::frmAbout2::kClientWidth,
                                               about::frmAbout2::kClientHeight,
                                               [this] { app_.closeAboutBox(); }};
        design.followVisible = true;
        // The logo is drawn again at the new DPI's size.
        design.messages = [this, &box](HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result) {
            if (message != win32kit::kDpiChanged || !about_) {
                return false;
            }
            about_->changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            win32views::showAboutLogo(about_->binder().window(box.picCastrelLogo));
            result = 0;
            return true;
        };
        about_ = std::make_unique<win32views::TableWindow>(box, box.controls(), app_.gate(), host_,
                                                           std::move(design));
        about_->setDefaultButton(box.cmdOK);
        win32views::showAboutLogo(about_->binder().window(box.picCastrelLogo));
    }
    about_->show();
}

void Win32Views::showRegisterMap(regmap::frmRegisterMap& window) {
    if (!registerMap_) {
        registerMap_ = std::make_unique<win32views::RegisterMapWindow>(
            window, app_.gate(), host_, [this] { app_.closeRegisterMap(); });
    }
    registerMap_->show();
}

void Win32Views::startupLoaded(startup::frmStartup& window) {
    if (!startup_) {
        win32views::TableWindow::Design design{
            startup::frmStartup::kClientWidth, startup::frmStartup::kClientHeight, {}};
        design.followVisible = true;
        startup_ = std::make_unique<win32views::TableWindow>(
            window, window.controls(), app_.gate(), host_, std::move(design), window.menus());
    }
    startup_->render();
}

void Win32Views::quit() {
    for (auto& [model, view] : scripts_) {
        view->hide();
    }
    for (auto& [model, view] : scripts_) {
        view->hide();
    }
    for (win32views::TableWindow* w : {gpio_.get(), about_.get(), startup_.get()}) {
        if (w != nullptr) {
            w->hide();
        }
    }
    if (registerMap_) {
        registerMap_->hide();
    }
    if (main_) {
        ShowWindow(main_->handle(), SW_HIDE);
    }
    PostQuitMessage(0);
}

}  // namespace win32program
