#include "startup/frmStartup_view.h"

#include <QMenuBar>

#include "kit/QtHost.h"

namespace startup {

frmStartupView::frmStartupView(frmStartup& model, form::UserEventGate& gate, kit::QtHost& host)
    : model_(model), host_(host), binder_(gate, host) {
    setObjectName("frmStartup");
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    binder_.addContainer("", -1, client);
    binder_.build(model_.controls());
    binder_.buildMenus(*this, model_.menus());
    resize(kit::ControlBinder::pixels(frmStartup::kClientWidth),
           kit::ControlBinder::pixels(frmStartup::kClientHeight) + menuBar()->sizeHint().height());
    rendererId_ = host.addRenderer([this] { render(); });
}

frmStartupView::~frmStartupView() {
    host_.removeRenderer(rendererId_);
}

void frmStartupView::render() {
    binder_.render();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    if (isVisible() != model_.Visible) {
        setVisible(model_.Visible);
    }
}

}  // namespace startup
