#include "startup/frmStartup_view.h"

#include <QMenuBar>

#include "kit/MenuKeys.h"
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
    buildMenu();
    kit::addMenuKeys(*this);
    resize(kit::ControlBinder::pixels(frmStartup::kClientWidth),
           kit::ControlBinder::pixels(frmStartup::kClientHeight) + menuBar()->sizeHint().height());
    rendererId_ = host.addRenderer([this] { render(); });
}

frmStartupView::~frmStartupView() {
    host_.removeRenderer(rendererId_);
}

void frmStartupView::buildMenu() {
    auto remember = [this](QAction* action, form::MenuItem& item, const QString& name) {
        action->setObjectName(name);
        menu_.push_back({action, &item});
    };
    QMenu* devices = menuBar()->addMenu(QString::fromStdString(model_.MnuDevSel1.Caption));
    devices->setObjectName("MnuDevSel1");
    // The device entries have no handlers: choosing one does nothing.
    for (std::size_t i = 0; i < model_.mnuDevice.size(); ++i) {
        form::MenuItem& item = model_.mnuDevice[i];
        remember(devices->addAction(QString::fromStdString(item.Caption)), item,
                 QStringLiteral("mnuDevice_%1").arg(i));
    }
    // "About" is an entry of the menu bar itself; it moves no data.
    QAction* about = menuBar()->addAction(QString::fromStdString(model_.mnuAbout.Caption));
    remember(about, model_.mnuAbout, "mnuAbout");
    connect(about, &QAction::triggered, [this] {
        model_.mnuAbout_Click();
        host_.renderAll();
    });
}

void frmStartupView::render() {
    binder_.render();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    for (const MenuEntry& entry : menu_) {
        entry.action->setVisible(entry.item->Visible);
        entry.action->setEnabled(entry.item->Enabled);
    }
    if (isVisible() != model_.Visible) {
        setVisible(model_.Visible);
    }
}

}  // namespace startup
