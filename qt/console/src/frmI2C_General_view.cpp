#include "console/frmI2C_General_view.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <variant>

#include "kit/CaptionButton.h"
#include "kit/LampWidget.h"
#include "kit/QtHost.h"
#include "kit/WrapCheckBox.h"

namespace console {

namespace {

using Ref = std::variant<std::monostate, form::TextBox*, form::Label*, form::Button*,
                         form::CheckBox*, form::Lamp*, form::Frame*>;

// Design height of the area that holds the tabs; the "USB Initialized" button lies below it.
constexpr int kDesignAreaHeight = frmI2C_General::kClientHeight;
// Gap between the design area and the "USB Initialized" button, and the strip it needs.
constexpr int kStatusGap = 45;
constexpr int kStatusStrip = 480;

std::string key(std::string_view name, int index) {
    return std::string(name) + ":" + std::to_string(index);
}

// The model member a layout row names.
Ref resolve(frmI2C_General& m, std::string_view name, int i) {
    const auto at = [i](auto& array) { return &array.at(static_cast<std::size_t>(i)); };
    // Text boxes.
    if (name == "txtActualReadAddress")
        return &m.txtActualReadAddress;
    if (name == "txtActualWrtAddress")
        return &m.txtActualWrtAddress;
    if (name == "Txtlog")
        return &m.Txtlog;
    if (name == "txthDriver")
        return &m.txthDriver;
    if (name == "txtI2CAdr")
        return &m.txtI2CAdr;
    if (name == "txtTstReg")
        return at(m.txtTstReg);
    if (name == "Reg_Adr")
        return at(m.Reg_Adr);
    if (name == "Reg_Desc")
        return at(m.Reg_Desc);
    if (name == "txtBWrite")
        return at(m.txtBWrite);
    if (name == "txtRdByte")
        return at(m.txtRdByte);
    if (name == "txtUserRegAdr")
        return &m.txtUserRegAdr;
    if (name == "txtsbwr")
        return at(m.txtsbwr);
    if (name == "txtReadByte")
        return &m.txtReadByte;
    if (name == "txtAddr")
        return &m.txtAddr;
    if (name == "txtData")
        return &m.txtData;
    // Labels.
    if (name == "Label13")
        return &m.Label13;
    if (name == "Label12")
        return &m.Label12;
    if (name == "Label3")
        return &m.Label3;
    if (name == "Label9")
        return &m.Label9;
    if (name == "Label10")
        return &m.Label10;
    if (name == "lblCommTest")
        return &m.lblCommTest;
    if (name == "Label5")
        return &m.Label5;
    if (name == "lblUSBConnect")
        return &m.lblUSBConnect;
    if (name == "Label2")
        return at(m.Label2);
    if (name == "Label4")
        return &m.Label4;
    if (name == "lblNak")
        return &m.lblNak;
    if (name == "lblReadCount")
        return &m.lblReadCount;
    if (name == "Label6")
        return at(m.Label6);
    // Buttons.
    if (name == "cmdClearLog")
        return &m.cmdClearLog;
    if (name == "cbNoc")
        return &m.cbNoc;
    if (name == "cmdTestComm")
        return &m.cmdTestComm;
    if (name == "cmdUSBConnect")
        return &m.cmdUSBConnect;
    if (name == "cmdUSBDisconnect")
        return &m.cmdUSBDisconnect;
    if (name == "cmdWrite1Byte")
        return at(m.cmdWrite1Byte);
    if (name == "cmdRead")
        return &m.cmdRead;
    if (name == "cmdReadRegs")
        return &m.cmdReadRegs;
    if (name == "cmdwriteAll")
        return &m.cmdwriteAll;
    if (name == "Command7")
        return &m.Command7;
    if (name == "cmdexit")
        return &m.cmdexit;
    if (name == "cbSend")
        return &m.cbSend;
    if (name == "cbReset")
        return &m.cbReset;
    if (name == "cmdWrite")
        return &m.cmdWrite;
    // Check box, lamps, frames.
    if (name == "ChKManUsbConn")
        return &m.ChKManUsbConn;
    if (name == "ShpAttach")
        return &m.ShpAttach;
    if (name == "ShpHandleStatus")
        return &m.ShpHandleStatus;
    if (name == "shpLogStatus")
        return &m.shpLogStatus;
    if (name == "shpUSBCon")
        return at(m.shpUSBCon);
    if (name == "shpBwrite")
        return at(m.shpBwrite);
    if (name == "Shape1")
        return at(m.Shape1);
    if (name == "Shape2")
        return at(m.Shape2);
    if (name == "Shape3")
        return &m.Shape3;
    if (name == "Frame1")
        return at(m.Frame1);
    if (name == "FRGEN")
        return &m.FRGEN;
    return {};
}

// What a click on a button does, and whether it may move data.
struct ButtonAction {
    std::function<void()> run;
    kit::ControlBinder::Role role = kit::ControlBinder::Role::Data;
};

ButtonAction buttonAction(frmI2C_General& m, std::string_view name, int i) {
    using Role = kit::ControlBinder::Role;
    if (name == "cmdClearLog")
        return {[&m] { m.cmdClearLog_Click(); }, Role::Live};
    if (name == "cbNoc")
        return {[&m] { m.cbNoc_Click(); }, Role::Live};
    if (name == "cmdTestComm")
        return {[&m] { m.cmdTestComm_Click(); }};
    if (name == "cmdUSBConnect")
        return {[&m] { m.cmdUSBConnect_Click(); }};
    if (name == "cmdUSBDisconnect")
        return {[&m] { m.cmdUSBDisconnect_Click(); }};
    if (name == "cmdWrite1Byte")
        return {[&m, i] { m.cmdWrite1Byte_Click(i); }};
    if (name == "cmdRead")
        return {[&m] { m.cmdRead_Click(); }};
    if (name == "cmdReadRegs")
        return {[&m] { m.cmdReadRegs_Click(); }};
    if (name == "cmdwriteAll")
        return {[&m] { m.cmdwriteAll_Click(); }};
    if (name == "Command7")
        return {[&m] { m.Command7_Click(); }};
    if (name == "cmdexit")
        return {[&m] { m.cmdexit_Click(); }};
    if (name == "cbSend")
        return {[&m] { m.cbSend_Click(); }};
    if (name == "cbReset")
        return {[&m] { m.cbReset_Click(); }};
    if (name == "cmdWrite")
        return {[&m] { m.cmdWrite_Click(); }};
    return {[] {}, Role::Live};
}

}  // namespace

frmI2C_GeneralView::frmI2C_GeneralView(frmI2C_General& model, form::UserEventGate& gate,
                                       kit::QtHost& host, std::function<bool()> requestClose)
    : model_(model), host_(host), binder_(gate, host), requestClose_(std::move(requestClose)) {
    setObjectName("frmI2C_General");
    client_ = new QWidget(this);
    client_->setObjectName("PbForm");
    setCentralWidget(client_);

    tabs_ = new QTabWidget(client_);
    tabs_->setObjectName("SSTab1");
    auto* page0 = new QWidget;
    auto* layout0 = new QVBoxLayout(page0);
    layout0->setContentsMargins(0, 0, 0, 0);
    pbouter_ = new QScrollArea(page0);
    pbouter_->setObjectName("pbouter");
    pbouter_->setFrameShape(QFrame::NoFrame);
    pbouter_->setWidgetResizable(false);
    pbinner_ = new QWidget;
    pbinner_->setObjectName("pbinner");
    pbinner_->setFixedSize(kit::ControlBinder::pixels(frmI2C_General::kInnerWidth),
                           kit::ControlBinder::pixels(frmI2C_General::kInnerHeight));
    pbouter_->setWidget(pbinner_);
    layout0->addWidget(pbouter_);
    logPage_ = new QWidget;
    logPage_->setObjectName("logPage");
    tabs_->addTab(page0, QString::fromStdString(model_.SSTab1.TabCaption[0]));
    tabs_->addTab(logPage_, QString::fromStdString(model_.SSTab1.TabCaption[1]));

    containers_[key("", -1)] = client_;
    containers_[key("PbForm", -1)] = client_;
    containers_[key("SSTab1", 0)] = page0;
    containers_[key("SSTab1", 1)] = logPage_;
    containers_[key("pbinner", -1)] = pbinner_;

    buildControls();
    bindEvents();
    buildMenu();
    client_->installEventFilter(this);

    const QSize client = clientSize();
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    arrange();
    rendererId_ = host.addRenderer([this] { render(); });
}

frmI2C_GeneralView::~frmI2C_GeneralView() {
    host_.removeRenderer(rendererId_);
}

QSize frmI2C_GeneralView::clientSize() {
    return {kit::ControlBinder::pixels(frmI2C_General::kClientWidth),
            kit::ControlBinder::pixels(kDesignAreaHeight + kStatusStrip)};
}

QWidget* frmI2C_GeneralView::container(std::string_view name, int index) const {
    auto found = containers_.find(key(name, index));
    return found == containers_.end() ? nullptr : found->second;
}

void frmI2C_GeneralView::buildControls() {
    const auto table = frmI2C_General::layout();
    // Frames first, so every control finds its container.
    for (int pass = 0; pass < 2; ++pass) {
        for (form::ControlGeometry g : table) {
            const Ref ref = resolve(model_, g.control, g.index);
            const bool isFrame = std::holds_alternative<form::Frame*>(ref);
            if (isFrame != (pass == 0) || std::holds_alternative<std::monostate>(ref)) {
                continue;
            }
            QWidget* parent = container(g.container, g.containerIndex);
            if (parent == nullptr) {
                continue;
            }
            if (g.container == "SSTab1") {
                // The page starts below the tab headers; design tops count from the tab strip.
                g.top -= model_.SSTab1.TabHeight;
            }
            QWidget* made = nullptr;
            if (auto* frame = std::get_if<form::Frame*>(&ref)) {
                made = binder_.frame(**frame, parent, g);
                containers_[key(g.control, g.index)] = made;
            } else if (auto* box = std::get_if<form::TextBox*>(&ref)) {
                made = (g.style & form::StyleMultiLine) != 0
                           ? static_cast<QWidget*>(binder_.log(**box, parent, g))
                           : binder_.textBox(**box, parent, g);
            } else if (auto* label = std::get_if<form::Label*>(&ref)) {
                made = binder_.label(**label, parent, g);
            } else if (auto* button = std::get_if<form::Button*>(&ref)) {
                ButtonAction action = buttonAction(model_, g.control, g.index);
                made = binder_.button(**button, parent, g, std::move(action.run), action.role);
            } else if (auto* check = std::get_if<form::CheckBox*>(&ref)) {
                made =
                    binder_.checkBox(**check, parent, g, [this] { model_.ChKManUsbConn_Click(); });
            } else if (auto* lamp = std::get_if<form::Lamp*>(&ref)) {
                made = binder_.lamp(**lamp, parent, g);
            }
            if (made != nullptr && g.control == "cbNoc") {
                cbNoc_ = made;
            }
        }
    }
    // The window-level boxes lie over the tab headers.
    for (const char* name : {"txtActualReadAddress", "txtActualWrtAddress", "cbNoc"}) {
        if (auto* w = client_->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly)) {
            w->raise();
        }
    }
}

void frmI2C_GeneralView::bindEvents() {
    auto box = [this](const QString& name) { return findChild<QLineEdit*>(name); };
    if (auto* w = box("txtI2CAdr")) {
        binder_.onKeyPress(w, [this](int& key) { model_.txtI2CAdr_KeyPress(key); });
        binder_.onLostFocus(w, [this] { model_.txtI2CAdr_LostFocus(); });
    }
    if (auto* w = box("txtUserRegAdr")) {
        binder_.onKeyPress(w, [this](int& key) { model_.txtUserRegAdr_KeyPress(key); });
    }
    for (int k = 0; k < 2; ++k) {
        if (auto* w = box(QStringLiteral("txtsbwr_%1").arg(k))) {
            binder_.onKeyPress(w, [this, k](int& key) { model_.txtsbwr_KeyPress(k, key); });
        }
    }
    for (int i = 0; i < frmI2C_General::kRows; ++i) {
        if (auto* w = box(QStringLiteral("txtBWrite_%1").arg(i))) {
            binder_.onKeyPress(w, [this, i](int& key) { model_.txtBWrite_KeyPress(i, key); });
            binder_.onDoubleClick(w, [this, i] { model_.txtBWrite_DblClick(i); });
        }
        if (auto* w = box(QStringLiteral("txtRdByte_%1").arg(i))) {
            binder_.onClick(w, [this, i] { model_.txtRdByte_Click(i); });
        }
    }

    connect(tabs_, &QTabWidget::currentChanged, [this](int index) {
        if (paintingTab_) {
            return;
        }
        const int previous = model_.SSTab1.Tab;
        model_.SSTab1.Tab = index;
        model_.SSTab1_Click(previous);
    });
    auto scrolled = [this] {
        if (syncingScroll_) {
            return;
        }
        syncingScroll_ = true;
        model_.VScroll1.Value = std::min(
            pbouter_->verticalScrollBar()->value() * form::kTwipsPerPixel, model_.VScroll1.Max);
        model_.VScroll1_Change();
        model_.HScroll1.Value = std::min(
            pbouter_->horizontalScrollBar()->value() * form::kTwipsPerPixel, model_.HScroll1.Max);
        model_.HScroll1_Change();
        syncingScroll_ = false;
    };
    connect(pbouter_->verticalScrollBar(), &QScrollBar::valueChanged, scrolled);
    connect(pbouter_->horizontalScrollBar(), &QScrollBar::valueChanged, scrolled);
}

void frmI2C_GeneralView::buildMenu() {
    auto add = [this](QMenu* menu, form::MenuItem& item, const char* name, bool data,
                      std::function<void()> run) {
        QAction* action = menu->addAction(QString::fromStdString(item.Caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, [this, data, run = std::move(run)] {
            if (data) {
                binder_.dispatch(run);
            } else {
                run();
            }
        });
        menu_.push_back({action, &item, data});
    };
    QMenu* file = menuBar()->addMenu(QString::fromStdString(model_.mnuFileProcess.Caption));
    file->setObjectName("mnuFileProcess");
    QMenu* open = file->addMenu(QString::fromStdString(model_.mnuOPen.Caption));
    open->setObjectName("mnuOPen");
    add(open, model_.mnuSetup_Open, "mnuSetup_Open", true,
        [this] { model_.mnuSetup_Open_Click(); });
    add(open, model_.mnu_ScriptShow, "mnu_ScriptShow", true,
        [this] { model_.mnu_ScriptShow_Click(); });
    add(open, model_.mnuGPIO, "mnuGPIO", false, [this] { model_.mnuGPIO_Click(); });
    add(file, model_.mnuSetup_Save, "mnuSetup_Save", true,
        [this] { model_.mnuSetup_Save_Click(); });
    // "About" is an entry of the menu bar itself, without a submenu.
    QAction* about = menuBar()->addAction(QString::fromStdString(model_.frmAbout.Caption));
    about->setObjectName("frmAbout");
    connect(about, &QAction::triggered, [this] { model_.frmAbout_Click(); });
    menu_.push_back({about, &model_.frmAbout, false});
}

void frmI2C_GeneralView::arrange() {
    const int width = client_->width();
    const int statusTop = client_->height() - kit::ControlBinder::pixels(kStatusStrip);
    tabs_->setGeometry(0, 0, width, std::max(0, statusTop));
    if (cbNoc_ != nullptr) {
        cbNoc_->move(cbNoc_->x(), statusTop + kit::ControlBinder::pixels(kStatusGap));
    }
    model_.Form_Resize(width * form::kTwipsPerPixel, std::max(0, statusTop) * form::kTwipsPerPixel);
}

void frmI2C_GeneralView::render() {
    binder_.render();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    if (tabs_->currentIndex() != model_.SSTab1.Tab) {
        paintingTab_ = true;
        tabs_->setCurrentIndex(model_.SSTab1.Tab);
        paintingTab_ = false;
    }
    const bool busy = binder_.busyLooks();
    for (const MenuEntry& entry : menu_) {
        entry.action->setVisible(entry.item->Visible);
        entry.action->setEnabled(entry.item->Enabled && !(busy && entry.data));
    }
}

void frmI2C_GeneralView::closeEvent(QCloseEvent* event) {
    if (requestClose_ && !requestClose_()) {
        event->ignore();
        return;
    }
    event->accept();
}

bool frmI2C_GeneralView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) {
        arrange();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool frmI2C_GeneralView::event(QEvent* event) {
    // The window itself, not one of its controls, got the focus.
    if (event->type() == QEvent::WindowActivate && focusWidget() == nullptr) {
        binder_.dispatch([this] { model_.Form_GotFocus(); });
    }
    return QMainWindow::event(event);
}

}  // namespace console
