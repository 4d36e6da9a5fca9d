#include "gpio/frmGPIO.h"

#include <string>
#include <vector>

#include "board/HexText.h"
#include "bridgeproto/Codec.h"

namespace gpio {

namespace {

constexpr int kRowPitch = 300;
constexpr int kFirstRow = 300;

// Back to the design state without replacing the object, so the text generation that views
// compare keeps counting up.
void resetBox(form::TextBox& box, const char* text) {
    box.Visible = true;
    box.Enabled = true;
    box.ToolTipText.clear();
    box.Locked = false;
    box.setText(text);
}

int rowTop(int row) {
    return kFirstRow + row * kRowPitch;
}

}  // namespace

frmGPIO::frmGPIO(board::BoardLink& link) : link_(link) {
    initControls();
}

form::ControlTable frmGPIO::controls() {
    using form::StyleCentred;
    form::ControlTable t;
    auto at = [](std::string_view container, int left, int top, int width, int height,
                 unsigned style = form::StyleNone) {
        return form::ControlGeometry{container, -1, left, top, width, height, style};
    };
    const std::string_view window;
    const std::string_view usage = FORM_NAME(Frame1);
    const std::string_view enables = FORM_NAME(FrOutEn);
    const std::string_view levels = FORM_NAME(frameGPIO_Data);
    const std::string_view enableHex = FORM_NAME(Frame_GPIOOUTEN);
    const std::string_view dataHex = FORM_NAME(frame_GPIOData);
    const std::string_view writes = FORM_NAME(FrGPIOIo);
    auto box = [this](auto named, int i, form::ControlGeometry g, auto handler) {
        return entry(named, i, g, form::Role::Data,
                     {.click = [this, i, handler] { (this->*handler)(i); }});
    };
    const int frameHeight = rowTop(13) + 285 + 165;
    t.push_back(entry(FORM_CONTROL(Frame1), at(window, 120, 120, 1800, frameHeight)));
    t.push_back(entry(FORM_CONTROL(FrOutEn), at(window, 2040, 120, 1500, frameHeight)));
    t.push_back(entry(FORM_CONTROL(frameGPIO_Data), at(window, 3660, 120, 1500, frameHeight)));
    for (int i = 0; i < 12; ++i) {
        t.push_back(entry(FORM_CONTROL(txtGPIOUserName), i, at(usage, 120, rowTop(i), 1560, 285)));
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back(box(FORM_CONTROL(chkOutEn), i, at(enables, 120, rowTop(i), 1260, 255),
                        &frmGPIO::chkOutEn_Click));
        t.push_back(box(FORM_CONTROL(ChkBData), i, at(levels, 120, rowTop(i), 1260, 255),
                        &frmGPIO::ChkBData_Click));
    }
    for (int i = 0; i < 4; ++i) {
        t.push_back(box(FORM_CONTROL(chkOutEnc), i, at(enables, 120, rowTop(8 + i), 1260, 255),
                        &frmGPIO::chkOutEnc_Click));
        t.push_back(box(FORM_CONTROL(ChkCData), i, at(levels, 120, rowTop(8 + i), 1260, 255),
                        &frmGPIO::ChkCData_Click));
    }
    for (int i = 0; i < 2; ++i) {
        t.push_back(box(FORM_CONTROL(ChLed1), i, at(enables, 120, rowTop(12 + i), 1260, 255),
                        &frmGPIO::ChLed1_Click));
        t.push_back(box(FORM_CONTROL(ChKLedData), i, at(levels, 120, rowTop(12 + i), 1260, 255),
                        &frmGPIO::ChKLedData_Click));
    }

    t.push_back(entry(FORM_CONTROL(Frame_GPIOOUTEN), at(window, 5280, 120, 3600, 1500)));
    t.push_back(entry(FORM_CONTROL(lblGPIOOutEn), at(enableHex, 120, 270, 3360, 225)));
    t.push_back(entry(FORM_CONTROL(Label1), at(enableHex, 120, 510, 3360, 225)));
    t.push_back(entry(FORM_CONTROL(frame_GPIOData), at(window, 5280, 1740, 3600, 1200)));
    t.push_back(entry(FORM_CONTROL(Label2), at(dataHex, 120, 270, 3360, 225)));
    t.push_back(entry(FORM_CONTROL(Label3), at(dataHex, 120, 510, 3360, 225)));
    static constexpr int kBoxLeft[] = {120, 720, 1620, 2220};
    for (int i = 0; i < 4; ++i) {
        t.push_back(entry(FORM_CONTROL(txtPCHex), i,
                          at(enableHex, kBoxLeft[i], 780, 555, 285, StyleCentred)));
        t.push_back(entry(FORM_CONTROL(txtPCHexData), i,
                          at(dataHex, kBoxLeft[i], 780, 555, 285, StyleCentred)));
    }
    t.push_back(entry(FORM_CONTROL(shpGpioWr), 2, at(enableHex, 1320, 832, 180, 180)));
    t.push_back(entry(FORM_CONTROL(shpGpioWr), 3, at(enableHex, 2820, 832, 180, 180)));
    t.push_back(entry(FORM_CONTROL(Label4), at(enableHex, 120, 1170, 1300, 225)));
    t.push_back(entry(FORM_CONTROL(shpGpioWr), 0, at(enableHex, 1500, 1192, 180, 180)));
    t.push_back(entry(FORM_CONTROL(shpGpioWr), 4, at(dataHex, 1320, 832, 180, 180)));
    t.push_back(entry(FORM_CONTROL(shpGpioWr), 5, at(dataHex, 2820, 832, 180, 180)));

    t.push_back(entry(FORM_CONTROL(FrGPIOIo), at(window, 5280, 3060, 3600, 1500)));
    t.push_back(entry(FORM_CONTROL(cmdGPIO_Write), at(writes, 240, 330, 3120, 495),
                      form::Role::Data, {.click = [this] { cmdGPIO_Write_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdWrite_GPIO_Data), at(writes, 240, 900, 3120, 495),
                      form::Role::Data, {.click = [this] { cmdWrite_GPIO_Data_Click(); }}));
    return t;
}

void frmGPIO::initControls() {
    Caption = kTitle;
    Visible = false;
    Loaded = false;

    Frame1 = {};
    Frame1.Caption = "GPIO Usage";
    FrOutEn = {};
    FrOutEn.Caption = "Enable";
    frameGPIO_Data = {};
    frameGPIO_Data.Caption = "Data";
    static constexpr const char* kUsage[12] = {"BSTATUS", "BI2CMSTR",   "HVSYNC_POL", "HHSYNC_POL",
                                               "ASTATUS", "AI2CMSTR",   "AVSYNC_POL", "AHSYNC_POL",
                                               "DE_FLIP", "VSYNC_FLIP", "HSYNC_FLIP", "USB_SPLIT"};
    for (std::size_t i = 0; i < txtGPIOUserName.size(); ++i) {
        resetBox(txtGPIOUserName[i], kUsage[i]);
    }
    static constexpr const char* kPortB[8] = {"PB0 P1.02", "PB1 P1.03", "PB2 P1.04", "PB3 P1.05",
                                              "PB4 P1.06", "PB5 P1.07", "PB6 P1.08", "PB7 P1.09"};
    static constexpr const char* kPortC[4] = {"PC4 P2.05", "PC5 P2.04", "PC6 P2.03", "PC7 P2.02"};
    static constexpr const char* kLeds[2] = {"Red Led", "Green Led"};
    auto box = [](form::CheckBox& b, const char* caption, int value) {
        b = {};
        b.Caption = caption;
        b.Value = value;
    };
    for (int i = 0; i < 8; ++i) {
        box(chkOutEn[i], kPortB[i], 0);
        box(ChkBData[i], kPortB[i], 1);
    }
    for (int i = 0; i < 4; ++i) {
        box(chkOutEnc[i], kPortC[i], 0);
        box(ChkCData[i], kPortC[i], 1);
    }
    for (int i = 0; i < 2; ++i) {
        box(ChLed1[i], kLeds[i], 1);
        ChLed1[i].Visible = false;
        box(ChKLedData[i], kLeds[i], 1);
    }

    Frame_GPIOOUTEN = {};
    Frame_GPIOOUTEN.Caption = "GPIO Output Enables";
    frame_GPIOData = {};
    frame_GPIOData.Caption = "GPIO Data";
    static constexpr const char* kEnableTexts[4] = {"00", "--", "00", "--"};
    static constexpr const char* kDataTexts[4] = {"DD", "--", "DD", "--"};
    for (int i = 0; i < 4; ++i) {
        resetBox(txtPCHex[i], kEnableTexts[i]);
        resetBox(txtPCHexData[i], kDataTexts[i]);
    }
    lblGPIOOutEn = {};
    lblGPIOOutEn.Caption = "PB Hex                  PC Hex";
    Label1 = {};
    Label1.Caption = "W           R             W       R";
    Label4 = {};
    Label4.Caption = "Update Enables";
    Label2 = {};
    Label2.Caption = "PB Hex                     PC Hex";
    Label3 = {};
    Label3.Caption = "W        R                 W       R";
    for (auto& lamp : shpGpioWr) {
        lamp = {};
        lamp.FillColor = link_.colorBlack();
    }
    shpGpioWr[1].Visible = false;
    FrGPIOIo = {};
    FrGPIOIo.Caption = "GPIO Execute";
    cmdGPIO_Write = {};
    cmdGPIO_Write.Caption = "Write / Read Enables and Data";
    cmdWrite_GPIO_Data = {};
    cmdWrite_GPIO_Data.Caption = "Write / Read Data Only";
}

void frmGPIO::yield() {
    link_.host().doEvents();
}

void frmGPIO::ensureLoaded() {
    if (!Loaded) {
        Form_Load();
    }
}

void frmGPIO::Form_Load() {
    const auto& g = link_.gpioState();
    Loaded = true;
    txtPCHex[0].setText(board::HexByteText(g[0]));
    txtPCHex[2].setText(board::HexByteText(g[1]));
    txtPCHexData[0].setText(board::HexByteText(g[2]));
    txtPCHexData[2].setText(board::HexByteText(g[3]));
    // The boxes show the state that the next write sends, also when the panel is opened again
    // after GpioState moved on; the click handlers do not run, so nothing else changes.
    auto tick = [&g](form::CheckBox& box, int byteIndex, int bit) {
        box.Value = (g[static_cast<std::size_t>(byteIndex)] >> bit) & 1;
    };
    for (int i = 0; i < 8; ++i) {
        tick(chkOutEn[i], 0, i);
        tick(ChkBData[i], 2, i);
    }
    for (int i = 0; i < 4; ++i) {
        tick(chkOutEnc[i], 1, i + 4);
        tick(ChkCData[i], 3, i + 4);
    }
    for (int i = 0; i < 2; ++i) {
        tick(ChLed1[i], 1, i);
        tick(ChKLedData[i], 3, i);
    }
}

void frmGPIO::Form_Unload() {
    initControls();
}

void frmGPIO::setBit(int byteIndex, int bit, bool on) {
    auto& byte = link_.gpioState()[static_cast<std::size_t>(byteIndex)];
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

bool frmGPIO::lineClicked(std::span<form::CheckBox> boxes, int index, int byteIndex, int firstBit,
                          form::TextBox& hexBox) {
    if (index < 0 || static_cast<std::size_t>(index) >= boxes.size()) {
        return false;
    }
    setBit(byteIndex, firstBit + index, boxes[static_cast<std::size_t>(index)].Value == 1);
    hexBox.setText(board::HexByteText(link_.gpioState()[static_cast<std::size_t>(byteIndex)]));
    return true;
}

void frmGPIO::enableClicked(std::span<form::CheckBox> enables, std::span<form::CheckBox> data,
                            int index, int byteIndex, int firstBit, form::TextBox& hexBox) {
    if (lineClicked(enables, index, byteIndex, firstBit, hexBox)) {
        const auto i = static_cast<std::size_t>(index);
        data[i].Enabled = enables[i].Value == 1;
    }
}

void frmGPIO::ChkBData_Click(int index) {
    lineClicked(ChkBData, index, 2, 0, txtPCHexData[0]);
}

void frmGPIO::ChkCData_Click(int index) {
    lineClicked(ChkCData, index, 3, 4, txtPCHexData[2]);
}

void frmGPIO::ChKLedData_Click(int index) {
    if (index < 0 || index >= static_cast<int>(ChKLedData.size())) {
        return;
    }
    // Before the box is read: a first load ticks every box from GpioState.
    ensureLoaded();
    lineClicked(ChKLedData, index, 3, 0, txtPCHexData[2]);
}

void frmGPIO::chkOutEn_Click(int index) {
    enableClicked(chkOutEn, ChkBData, index, 0, 0, txtPCHex[0]);
}

void frmGPIO::chkOutEnc_Click(int index) {
    enableClicked(chkOutEnc, ChkCData, index, 1, 4, txtPCHex[2]);
}

void frmGPIO::ChLed1_Click(int index) {
    enableClicked(ChLed1, ChKLedData, index, 1, 0, txtPCHex[2]);
}

void frmGPIO::exchange(bool withEnables) {
    ensureLoaded();
    const bool connect = !link_.manualConnect();
    if (connect) {
        link_.Connect_Usb_Gpio();
        yield();
    }
    yield();

    // The enable check compares against the bytes actually sent, even if a box changes while the
    // exchange waits for its reply.
    const auto sent = link_.gpioState();
    link_.setWriteQty(withEnables ? 4 : 2);
    const board::Reply received = link_.exchange(bridgeproto::gpioWrite(sent, withEnables));
    answered_ = received.ok() && received.transferred >= bridgeproto::kGpioPortBytes;
    if (answered_) {
        showReadBack(bridgeproto::GpioStatusReply::from(received.bytes), sent, withEnables);
    } else {
        showFailedExchange(withEnables);
    }

    if (connect) {
        link_.Disconnect_USB_Gpio();
        yield();
    }
    yield();
}

void frmGPIO::showReadBack(const bridgeproto::GpioStatusReply& reply,
                           const std::array<std::uint8_t, 4>& sent, bool withEnables) {
    const form::PaletteIndex green = link_.colorLightGreen();
    const form::PaletteIndex red = link_.colorLightRed();
    txtPCHexData[1].setText(board::HexByteText(reply.portBData));
    txtPCHexData[3].setText(board::HexByteText(reply.portCData));
    if (withEnables) {
        txtPCHex[1].setText(board::HexByteText(reply.portBEnables));
        txtPCHex[3].setText(board::HexByteText(reply.portCEnables));
        shpGpioWr[2].FillColor = reply.portBEnables == sent[0] ? green : red;
        shpGpioWr[3].FillColor = reply.portCEnables == sent[1] ? green : red;
    }
    link_.toggleLamp(shpGpioWr[4]);
    link_.toggleLamp(shpGpioWr[5]);
    if (withEnables) {
        link_.toggleLamp(shpGpioWr[0]);
    }
}

void frmGPIO::showFailedExchange(bool withEnables) {
    const auto red = link_.colorLightRed();
    txtPCHexData[1].setText("--");
    txtPCHexData[3].setText("--");
    shpGpioWr[4].FillColor = red;
    shpGpioWr[5].FillColor = red;
    if (withEnables) {
        txtPCHex[1].setText("--");
        txtPCHex[3].setText("--");
        for (int i : {0, 2, 3}) {
            shpGpioWr[static_cast<std::size_t>(i)].FillColor = red;
        }
    }
}

void frmGPIO::cmdGPIO_Write_Click() {
    exchange(true);
}

void frmGPIO::cmdWrite_GPIO_Data_Click() {
    exchange(false);
}

}  // namespace gpio
