#include "win32program/Win32Views.h"

#include "about/frmAbout2.h"
#include "gpio/frmGPIO.h"
#include "startup/frmStartup.h"

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

void Win32Views::showScriptWindow(script::frmScriptOps&) {
    host_.messageBox(
        "The script window is not part of this Windows build yet; run scripts with "
        "velmorix-script.exe.",
        form::MsgButtons::Ok, "Velmorix I2C Comm");
}

void Win32Views::showAboutBox(about::frmAbout2& box) {
    if (!about_) {
        win32views::TableWindow::Design design{about::frmAbout2::kClientWidth,
                                               about::frmAbout2::kClientHeight,
                                               [this] { app_.closeAboutBox(); }};
        design.followVisible = true;
        about_ = std::make_unique<win32views::TableWindow>(box, box.controls(), app_.gate(), host_,
                                                           std::move(design));
        about_->setDefaultButton(box.cmdOK);
    }
    about_->show();
}

void Win32Views::startupLoaded(startup::frmStartup& window) {
    if (!startup_) {
        win32views::TableWindow::Design design{
            startup::frmStartup::kClientWidth, startup::frmStartup::kClientHeight, {}};
        design.followVisible = true;
        startup_ = std::make_unique<win32views::TableWindow>(
            window, window.controls(), app_.gate(), host_, std::move(design),
            [this, &window](win32kit::ControlBinder& binder) {
                HMENU bar = binder.menuBar();
                HMENU devices = binder.addSubmenu(bar, window.MnuDevSel1);
                // The device entries have no handlers: choosing one does nothing.
                for (form::MenuItem& item : window.mnuDevice) {
                    binder.addMenuEntry(devices, item, false, [] {});
                }
                // "About" is an entry of the menu bar itself; it moves no data.
                binder.addMenuEntry(bar, window.mnuAbout, false,
                                    [&window] { window.mnuAbout_Click(); });
            });
    }
    startup_->render();
}

void Win32Views::quit() {
    for (win32views::TableWindow* w : {gpio_.get(), about_.get(), startup_.get()}) {
        if (w != nullptr) {
            w->hide();
        }
    }
    if (main_) {
        ShowWindow(main_->handle(), SW_HIDE);
    }
    PostQuitMessage(0);
}

}  // namespace win32program
