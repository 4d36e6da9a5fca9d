#include "gpio/frmGPIO_view.h"

#include <QCloseEvent>

#include "kit/QtHost.h"

namespace gpio {

frmGPIOView::frmGPIOView(frmGPIO& model, form::UserEventGate& gate, kit::QtHost& host,
                         std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    setObjectName("frmGPIO");
    setWindowTitle(QString::fromStdString(model_.Caption));
    binder_.addContainer("", -1, this);
    buildControls();
    setFixedSize(kit::ControlBinder::pixels(frmGPIO::kClientWidth),
                 kit::ControlBinder::pixels(frmGPIO::kClientHeight));
    rendererId_ = host.addRenderer([this] { render(); });
}

frmGPIOView::~frmGPIOView() {
    host_.removeRenderer(rendererId_);
}

void frmGPIOView::buildControls() {
    binder_.build(model_.controls());
}

void frmGPIOView::render() {
    binder_.render();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

void frmGPIOView::closeEvent(QCloseEvent* event) {
    if (onClose_) {
        onClose_();
    }
    event->accept();
}

}  // namespace gpio
