#include "program/QtViews.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

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

QtViews::QtViews(app::Application& app, kit::QtHost& host) : app_(app), host_(host) {
    app_.showWindow = [this](form::Window& window) { show(window); };
    app_.onQuit = [this] { quit(); };
}

QtViews::~QtViews() {
    app_.showWindow = nullptr;
    app_.onQuit = nullptr;
    gpio_.reset();
    main_.reset();
}

void QtViews::applyStyle() {
    if (QStyle* fusion = QStyleFactory::create("Fusion")) {
        QApplication::setStyle(fusion);
    }
    QFont font("DejaVu Sans Condensed");
    font.setPixelSize(kFontPixels);
    QApplication::setFont(font);
}

void QtViews::show(form::Window& window) {
    if (auto* console = dynamic_cast<console::frmI2C_General*>(&window)) {
        if (!main_) {
            main_ =
                std::make_unique<console::frmI2C_GeneralView>(*console, app_.gate(), host_, [this] {
                    bool closed = false;
                    app_.gate().dispatch([this, &closed] { closed = app_.closeMainWindow(); });
                    host_.renderAll();
                    return closed;
                });
        }
        main_->render();
        bringToFront(*main_);
        return;
    }
    if (auto* panel = dynamic_cast<gpio::frmGPIO*>(&window)) {
        if (!gpio_) {
            gpio_ = std::make_unique<gpio::frmGPIOView>(*panel, app_.gate(), host_,
                                                        [this] { app_.closeGpioPanel(); });
        }
        gpio_->render();
        bringToFront(*gpio_);
    }
}

void QtViews::quit() {
    if (gpio_) {
        gpio_->hide();
    }
    if (main_) {
        main_->hide();
    }
    QCoreApplication::quit();
}

}  // namespace program
