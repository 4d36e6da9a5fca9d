#include "program/QtViews.h"

#include <QApplication>
#include <QFont>

#include "kit/DeferredIconStyle.h"

namespace program {

namespace {

// Small enough for the design's 19-pixel boxes and 25-pixel buttons; a caption that still does
// not fit its design rectangle shrinks a little more.
constexpr int kFontPixels = 11;

void bringToFront(QWidget& w) {
    w.show();
    w.raise();
    w.activateWindow();
}

}  // namespace

QtViews::QtViews(kit::QtHost& host)
    : host_(host), app_(host, *this), scripts_(host, app_.gate(), app_.scriptWindows()) {}

// The members go in reverse order: the script windows' views, the start-up window's, the About
// box's, the panel's, the main window's, and the application last, so no view outlives its model.
QtViews::~QtViews() = default;

void QtViews::applyStyle() {
    QApplication::setStyle(new kit::DeferredIconStyle);
    QFont font("DejaVu Sans Condensed");
    font.setPixelSize(kFontPixels);
    QApplication::setFont(font);
}

void QtViews::showConsole(console::frmI2C_General& window) {
    if (!main_) {
        main_ = std::make_unique<console::frmI2C_GeneralView>(window, app_.gate(), host_, [this] {
            const bool closed = app_.requestMainWindowClose();
            host_.renderAll();
            return closed;
        });
    }
    main_->render();
    bringToFront(*main_);
}

void QtViews::showGpioPanel(gpio::frmGPIO& panel) {
    if (!gpio_) {
        gpio_ = std::make_unique<gpio::frmGPIOView>(panel, app_.gate(), host_,
                                                    [this] { app_.closeGpioPanel(); });
    }
    gpio_->render();
    bringToFront(*gpio_);
}

void QtViews::showScriptWindow(script::frmScriptOps& window) {
    scripts_.show(window);
}

void QtViews::showAboutBox(about::frmAbout2& box) {
    if (!about_) {
        about_ = std::make_unique<about::frmAbout2View>(box, app_.gate(), host_,
                                                        [this] { app_.closeAboutBox(); });
    }
    about_->render();
    bringToFront(*about_);
}

void QtViews::showRegisterMap(regmap::frmRegisterMap& window) {
    if (!registerMap_) {
        registerMap_ = std::make_unique<regmap::frmRegisterMapView>(
            window, app_.gate(), host_, [this] { app_.closeRegisterMap(); });
    }
    registerMap_->render();
    bringToFront(*registerMap_);
}

void QtViews::startupLoaded(startup::frmStartup& window) {
    if (!startup_) {
        startup_ = std::make_unique<startup::frmStartupView>(window, app_.gate(), host_);
    }
    startup_->render();
}

void QtViews::quit() {
    scripts_.hideAll();
    if (gpio_) {
        gpio_->hide();
    }
    if (about_) {
        about_->hide();
    }
    if (registerMap_) {
        registerMap_->hide();
    }
    if (startup_) {
        startup_->hide();
    }
    if (main_) {
        main_->hide();
    }
    QCoreApplication::quit();
}

}  // namespace program
