#include "console/frmI2C_General_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "console/PanelScrollArea.h"
#include "kit/QtHost.h"

namespace console {

namespace {

// Design height of the area that holds the tabs; the "USB Initialized" button lies below it.
constexpr int kDesignAreaHeight = frmI2C_General::kClientHeight;
// Gap between the design area and the "USB Initialized" button, and the strip it needs; the
// strip is there only while the button shows.
constexpr int kStatusGap = 45;
constexpr int kStatusStrip = 480;

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
    pbouter_ = new PanelScrollArea(page0);
    pbouter_->setObjectName("pbouter");
    pbouter_->setFrameShape(QFrame::NoFrame);
    pbouter_->setWidgetResizable(false);
    using kit::ControlBinder;
    pbouter_->setSteps(ControlBinder::pixels(model_.VScroll1.LargeChange),
                       ControlBinder::pixels(model_.VScroll1.SmallChange),
                       ControlBinder::pixels(model_.HScroll1.LargeChange),
                       ControlBinder::pixels(model_.HScroll1.SmallChange));
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

    // A tab page starts below the tab headers; design tops count from the tab strip.
    binder_.addContainer("", -1, client_);
    binder_.addContainer("SSTab1", 0, page0, model_.SSTab1.TabHeight);
    binder_.addContainer("SSTab1", 1, logPage_, model_.SSTab1.TabHeight);
    binder_.addContainer("pbinner", -1, pbinner_);

    buildControls();
    bindEvents();
    binder_.buildMenus(*this, model_.menus());
    client_->installEventFilter(this);
    stripShown_ = model_.cbNoc.Visible;

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

QSize frmI2C_GeneralView::clientSize() const {
    return {kit::ControlBinder::pixels(frmI2C_General::kClientWidth),
            kit::ControlBinder::pixels(kDesignAreaHeight + (stripShown_ ? kStatusStrip : 0))};
}

void frmI2C_GeneralView::buildControls() {
    // The register grid's 128 boxes are read far more than typed into.
    binder_.useTextCells({"Reg_Adr", "Reg_Desc", "txtBWrite", "txtRdByte"});
    binder_.build(model_.controls());
    cbNoc_ = binder_.widget(model_.cbNoc);
    lblCommTest_ = qobject_cast<QLabel*>(binder_.widget(model_.lblCommTest));
    // The window-level boxes lie over the tab headers.
    for (QWidget* w : {binder_.widget(model_.txtActualReadAddress),
                       binder_.widget(model_.txtActualWrtAddress), cbNoc_}) {
        if (w != nullptr) {
            w->raise();
        }
    }
}

void frmI2C_GeneralView::bindEvents() {
    connect(tabs_, &QTabWidget::currentChanged, [this](int index) {
        if (paintingTab_) {
            return;
        }
        const int previous = model_.SSTab1.Tab;
        model_.SSTab1.Tab = index;
        paintedTab_ = index;
        model_.SSTab1_Click(previous);
    });
    // Each bar runs only its own handler: the vertical one never yields, the horizontal one
    // does, and a nested change of the same bar during that yield is left to the outer one.
    connect(pbouter_->verticalScrollBar(), &QScrollBar::valueChanged, [this](int value) {
        if (syncingVertical_) {
            return;
        }
        syncingVertical_ = true;
        model_.VScroll1.Value = std::min(value * form::kTwipsPerPixel, model_.VScroll1.Max);
        model_.VScroll1_Change();
        syncingVertical_ = false;
    });
    connect(pbouter_->horizontalScrollBar(), &QScrollBar::valueChanged, [this](int value) {
        if (syncingHorizontal_) {
            return;
        }
        syncingHorizontal_ = true;
        model_.HScroll1.Value = std::min(value * form::kTwipsPerPixel, model_.HScroll1.Max);
        model_.HScroll1_Change();
        syncingHorizontal_ = false;
    });
}

void frmI2C_GeneralView::arrange() {
    const int width = client_->width();
    const int statusTop =
        client_->height() - (stripShown_ ? kit::ControlBinder::pixels(kStatusStrip) : 0);
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
    if (stripShown_ != model_.cbNoc.Visible) {
        stripShown_ = model_.cbNoc.Visible;
        arrange();
    }
    paintVerdictColour();
    // Only a tab that the model chose is painted: a repaint in the middle of the user's own
    // switch (a box on the old page losing the focus runs its handler) must not turn the tab
    // bar back while the page goes on to the new tab.
    if (model_.SSTab1.Tab != paintedTab_) {
        paintedTab_ = model_.SSTab1.Tab;
        if (tabs_->currentIndex() != paintedTab_) {
            paintingTab_ = true;
            tabs_->setCurrentIndex(paintedTab_);
            paintingTab_ = false;
        }
    }
}

void frmI2C_GeneralView::paintVerdictColour() {
    if (lblCommTest_ == nullptr ||
        model_.lblCommTest.ForeColor != frmI2C_General::kSystemButtonText) {
        return;
    }
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    if (lblCommTest_->palette().color(QPalette::WindowText) != buttonText) {
        QPalette colours = lblCommTest_->palette();
        colours.setColor(QPalette::WindowText, buttonText);
        lblCommTest_->setPalette(colours);
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
