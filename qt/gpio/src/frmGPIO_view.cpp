#include "gpio/frmGPIO_view.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <variant>

#include "kit/QtHost.h"

namespace gpio {

namespace {

using Ref = std::variant<std::monostate, form::TextBox*, form::Label*, form::Button*,
                         form::CheckBox*, form::Lamp*, form::Frame*>;

Ref resolve(frmGPIO& m, std::string_view name, int i) {
    const auto at = [i](auto& array) { return &array.at(static_cast<std::size_t>(i)); };
    if (name == "Frame1")
        return &m.Frame1;
    if (name == "FrOutEn")
        return &m.FrOutEn;
    if (name == "frameGPIO_Data")
        return &m.frameGPIO_Data;
    if (name == "Frame_GPIOOUTEN")
        return &m.Frame_GPIOOUTEN;
    if (name == "frame_GPIOData")
        return &m.frame_GPIOData;
    if (name == "FrGPIOIo")
        return &m.FrGPIOIo;
    if (name == "txtGPIOUserName")
        return at(m.txtGPIOUserName);
    if (name == "txtPCHex")
        return at(m.txtPCHex);
    if (name == "txtPCHexData")
        return at(m.txtPCHexData);
    if (name == "chkOutEn")
        return at(m.chkOutEn);
    if (name == "chkOutEnc")
        return at(m.chkOutEnc);
    if (name == "ChLed1")
        return at(m.ChLed1);
    if (name == "ChkBData")
        return at(m.ChkBData);
    if (name == "ChkCData")
        return at(m.ChkCData);
    if (name == "ChKLedData")
        return at(m.ChKLedData);
    if (name == "lblGPIOOutEn")
        return &m.lblGPIOOutEn;
    if (name == "Label1")
        return &m.Label1;
    if (name == "Label2")
        return &m.Label2;
    if (name == "Label3")
        return &m.Label3;
    if (name == "Label4")
        return &m.Label4;
    if (name == "shpGpioWr")
        return at(m.shpGpioWr);
    if (name == "cmdGPIO_Write")
        return &m.cmdGPIO_Write;
    if (name == "cmdWrite_GPIO_Data")
        return &m.cmdWrite_GPIO_Data;
    return {};
}

// The click handler of a check box array.
std::function<void()> checkAction(frmGPIO& m, std::string_view name, int i) {
    if (name == "chkOutEn")
        return [&m, i] { m.chkOutEn_Click(i); };
    if (name == "chkOutEnc")
        return [&m, i] { m.chkOutEnc_Click(i); };
    if (name == "ChLed1")
        return [&m, i] { m.ChLed1_Click(i); };
    if (name == "ChkBData")
        return [&m, i] { m.ChkBData_Click(i); };
    if (name == "ChkCData")
        return [&m, i] { m.ChkCData_Click(i); };
    if (name == "ChKLedData")
        return [&m, i] { m.ChKLedData_Click(i); };
    return [] {};
}

}  // namespace

frmGPIOView::frmGPIOView(frmGPIO& model, form::UserEventGate& gate, kit::QtHost& host,
                         std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    setObjectName("frmGPIO");
    setWindowTitle(QString::fromStdString(model_.Caption));
    frames_[""] = this;
    buildControls();
    setFixedSize(kit::ControlBinder::pixels(frmGPIO::kClientWidth),
                 kit::ControlBinder::pixels(frmGPIO::kClientHeight));
    rendererId_ = host.addRenderer([this] { render(); });
}

frmGPIOView::~frmGPIOView() {
    host_.removeRenderer(rendererId_);
}

void frmGPIOView::buildControls() {
    const auto table = frmGPIO::layout();
    for (int pass = 0; pass < 2; ++pass) {
        for (const form::ControlGeometry& g : table) {
            const Ref ref = resolve(model_, g.control, g.index);
            const bool isFrame = std::holds_alternative<form::Frame*>(ref);
            if (isFrame != (pass == 0) || std::holds_alternative<std::monostate>(ref)) {
                continue;
            }
            auto parent = frames_.find(g.container);
            if (parent == frames_.end()) {
                continue;
            }
            if (auto* frame = std::get_if<form::Frame*>(&ref)) {
                frames_[std::string(g.control)] = binder_.frame(**frame, parent->second, g);
            } else if (auto* box = std::get_if<form::TextBox*>(&ref)) {
                binder_.textBox(**box, parent->second, g);
            } else if (auto* label = std::get_if<form::Label*>(&ref)) {
                binder_.label(**label, parent->second, g);
            } else if (auto* button = std::get_if<form::Button*>(&ref)) {
                std::function<void()> run;
                if (g.control == "cmdGPIO_Write") {
                    run = [this] { model_.cmdGPIO_Write_Click(); };
                } else {
                    run = [this] { model_.cmdWrite_GPIO_Data_Click(); };
                }
                binder_.button(**button, parent->second, g, std::move(run));
            } else if (auto* check = std::get_if<form::CheckBox*>(&ref)) {
                binder_.checkBox(**check, parent->second, g,
                                 checkAction(model_, g.control, g.index));
            } else if (auto* lamp = std::get_if<form::Lamp*>(&ref)) {
                binder_.lamp(**lamp, parent->second, g);
            }
        }
    }
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
