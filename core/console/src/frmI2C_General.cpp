#include "console/frmI2C_General.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <vector>

#include "board/HexText.h"
#include "board/I2cAddress.h"
#include "board/TextHelpers.h"
#include "bridgeproto/Codec.h"

namespace console {

namespace {

using board::kCrLf;
using board::kProgramTitle;

// Verdict colours of the communication test: red with white text, dark green with the system's
// button-text colour.
constexpr form::PaletteIndex kVerdictRed = 12;
constexpr form::PaletteIndex kVerdictWhite = 15;
constexpr form::PaletteIndex kVerdictGreen = 2;

std::uint8_t lowByte(std::int16_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) & 0xFF);
}

// The low eight bits of the text's hex value, whatever its width: "1A5" gives 0xA5.
std::uint8_t lowByteOfHex(const std::string& text) {
    return lowByte(board::HexVal(text));
}

// Shows the box's text in upper case, then reads it as hex; empty when it has more than four
// significant digits.
std::optional<std::int16_t> upperHexValue(form::TextBox& box) {
    box.setText(board::upperAscii(box.Text()));
    return board::HexValChecked(box.Text());
}

bool isByteValue(const std::optional<std::int16_t>& value) {
    return value && *value >= 0 && *value <= 255;
}

// The whole text is one to any number of hex digits whose value lies in 0..255.
bool readsAsHexByte(const std::string& text, std::uint8_t& value) {
    if (!board::isHexText(text)) {
        return false;
    }
    auto v = board::HexValChecked(text);
    if (!v || *v < 0 || *v > 255) {
        return false;
    }
    value = static_cast<std::uint8_t>(*v);
    return true;
}

}  // namespace

frmI2C_General::frmI2C_General(board::BoardLink& link, ConsoleLink& calls)
    : link_(link), calls_(calls) {
    initControls();
    form::startMenuCaptions(menus());
}

void frmI2C_General::yield() {
    link_.host().doEvents();
}

bool frmI2C_General::automatic() const {
    return !link_.manualConnect();
}

void frmI2C_General::withAutomaticConnection(const std::function<void()>& body) {
    // Decided once: a body that switches the mode still gets the close its open promised.
    const bool connect = automatic();
    if (connect) {
        cmdUSBConnect_Click();
        yield();
    }
    body();
    if (connect) {
        cmdUSBDisconnect_Click();
        yield();
    }
}

// ---- Load, layout, closing ------------------------------------------------------------------

void frmI2C_General::Form_Load() {
    Loaded = true;
    link_.setActiveWindow(this);
    link_.resetForStart();
    link_.setI2cAddress(address().write());
    showActualAddresses();

    // Colours first, so the lamps that the start-up connect sets show real colours.
    link_.InitColors();
    link_.Connect_Usb();
    yield();
    if (link_.lastStatus() != 0) {
        // The lines before name the driver call that failed; this one says what it means.
        link_.LogNote(kNoBoardFound);
    }
    link_.Disconnect_USB();
    // The start-up look at the board ends closed: the indicators say so, not the handle it had.
    showClosedConnection();
    yield();

    cmdexit.Visible = true;
    SSTab1.Tab = 0;
    showRegisterGrid();

    // ShpAttach keeps what the start-up connect found: it is black only before the first connect.
    for (int i = 0; i < kRows; ++i) {
        Reg_Desc[i].setText("");
        txtBWrite[i].setText("");
        txtBWrite[i].ToolTipText = "Double click, or press ENTER key to write to single register";
        shpBwrite[i].FillColor = link_.colorBlack();
        Shape1[i].FillColor = link_.colorBlack();
        txtRdByte[i].setText("");
        txtRdByte[i].ToolTipText = "Single click to read register";
        Reg_Adr[i].setText(board::HexByteText(static_cast<std::uint8_t>(i)));
        Reg_Adr[i].ToolTipText = "Register Address 0x00 to 0xFF";
    }
    cbSend.Visible = false;
    cbReset.Visible = false;
    yield();

    calls_.gpioWrite();
    yield();
}

void frmI2C_General::Form_Resize(int scaleWidth, int scaleHeight) {
    if (scaleWidth <= 500 || scaleHeight <= 500) {
        return;
    }
    VScroll1.Left = scaleWidth - kScrollBarSize;
    VScroll1.Top = 0;
    VScroll1.Width = kScrollBarSize;
    VScroll1.Height = scaleHeight - kScrollBarSize;
    HScroll1.Left = 0;
    HScroll1.Top = scaleHeight - kScrollBarSize;
    HScroll1.Width = scaleWidth - kScrollBarSize;
    HScroll1.Height = kScrollBarSize;

    PbForm.Left = 0;
    PbForm.Top = 0;
    PbForm.Width = scaleWidth - kScrollBarSize;
    PbForm.Height = scaleHeight - kScrollBarSize;
    SSTab1.Left = 0;
    SSTab1.Top = 0;
    SSTab1.Width = PbForm.Width;
    SSTab1.Height = PbForm.Height;
    pbouter.Left = 0;
    pbouter.Top = SSTab1.TabHeight;
    pbouter.Width = SSTab1.Width;
    pbouter.Height = std::max(0, SSTab1.Height - SSTab1.TabHeight);

    auto fit = [](ScrollBar& bar, int viewport, int panel) {
        if (viewport >= panel) {
            bar.Visible = false;
            bar.Value = 0;
            bar.Max = 0;
            return;
        }
        bar.Visible = true;
        bar.Min = 0;
        bar.Max = panel - viewport;
        bar.LargeChange = kScrollLargeChange;
        bar.SmallChange = kScrollSmallChange;
        bar.Value = std::clamp(bar.Value, 0, bar.Max);
    };
    fit(VScroll1, pbouter.Height, pbinner.Height);
    fit(HScroll1, pbouter.Width, pbinner.Width);
    placeScrolled();
}

void frmI2C_General::placeScrolled() {
    pbinner.Top = -VScroll1.Value;
    pbinner.Left = -HScroll1.Value;
}

void frmI2C_General::VScroll1_Change() {
    VScroll1.Value = std::clamp(VScroll1.Value, VScroll1.Min, VScroll1.Max);
    pbinner.Top = -VScroll1.Value;
}

void frmI2C_General::HScroll1_Change() {
    yield();
    HScroll1.Value = std::clamp(HScroll1.Value, HScroll1.Min, HScroll1.Max);
    pbinner.Left = -HScroll1.Value;
}

void frmI2C_General::SSTab1_Click(int /*previousTab*/) {
    yield();
    yield();
}

void frmI2C_General::Form_GotFocus() {
    link_.setActiveWindow(this);
    link_.setI2cAddress(address().write());
    yield();
}

void frmI2C_General::Form_QueryUnload(bool& cancel) {
    if (link_.usbOpened()) {
        cancel = true;
        showCloseRefused();
    }
}

void frmI2C_General::showCloseRefused() {
    link_.LogAppend(kCloseRefused, kCrLf);
    SSTab1.Tab = 1;
}

void frmI2C_General::Form_Unload() {
    yield();
    Loaded = false;
    Visible = false;
    calls_.endProgram();
}

void frmI2C_General::cmdClearLog_Click() {
    Txtlog.setText("");
    Txtlog.SelStart = 0;
}

void frmI2C_General::cmdexit_Click() {
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (!cancel) {
        Form_Unload();
    }
}

void frmI2C_General::cbReset_Click() {
    link_.LogAppend(
        "Press Reset Button On Evaluation Board, Software Reseting Control Registers to Reset "
        "Status",
        kCrLf);
}

void frmI2C_General::cbSend_Click() {}

void frmI2C_General::cbNoc_Click() {}

// ---- Connection -----------------------------------------------------------------------------

void frmI2C_General::cmdUSBConnect_Click() {
    link_.Connect_Usb();
    showConnectionState();
}

void frmI2C_General::cmdUSBDisconnect_Click() {
    link_.Disconnect_USB();
    cbNoc.Caption = "USB Board Interface Closed";
    cbSend.Visible = false;
    cbReset.Visible = false;
    showClosedConnection();
}

void frmI2C_General::showConnectionState() {
    // Read afresh: a nested operation (the GPIO panel's own disconnect inside the communication
    // test) may have closed the connection that the caller opened.
    const bool open = link_.usbOpened();
    const form::PaletteIndex green = link_.colorLightGreen();
    const form::PaletteIndex black = link_.colorBlack();
    shpUSBCon[0].FillColor = open ? green : black;
    shpUSBCon[1].FillColor = open ? black : green;
    ShpHandleStatus.FillColor = open ? green : black;
    if (open) {
        txthDriver.setText(board::DecimalWithSign(static_cast<std::int32_t>(link_.driverHandle())));
    }
    cmdexit.Visible = !open;
}

void frmI2C_General::showClosedConnection() {
    if (!link_.usbOpened()) {
        txthDriver.setText("Closed");
    }
    showConnectionState();
}

// ---- Register transactions --------------------------------------------------------------------

frmI2C_General::ReadResult frmI2C_General::readRegister(const std::string& registerText) {
    link_.setReadQty(1);
    const std::uint8_t readAddress = address().read();
    // A failed transfer leaves the zero-filled reply, so it reads as count 0: a failure.
    const board::Reply reply =
        link_.exchange(bridgeproto::i2cRead(1, readAddress, {lowByteOfHex(registerText)}));
    const ReadResult result{reply.byteAt(0), reply.byteAt(1)};
    lblReadCount.Caption = board::DecimalWithSign(result.count);
    return result;
}

bool frmI2C_General::readIntoBox(const std::string& registerText, form::TextBox& box,
                                 form::Lamp& lamp) {
    const ReadResult r = readRegister(registerText);
    if (r.count == 1) {
        box.setText(board::HexByteText(r.data));
        link_.toggleLamp(lamp);
        return true;
    }
    box.setText("--");
    lamp.FillColor = link_.colorLightRed();
    return false;
}

std::uint8_t frmI2C_General::writeRegister(std::uint8_t address, const std::string& registerText,
                                           const std::string& valueText) {
    link_.setWriteQty(1);
    const std::uint8_t status =
        link_
            .exchange(bridgeproto::i2cWrite(1, address, {lowByteOfHex(registerText)},
                                            {lowByteOfHex(valueText)}))
            .byteAt(0);
    lblReadCount.Caption = board::DecimalWithSign(status);
    return status;
}

bool frmI2C_General::writeValueCheck(form::TextBox& box) {
    const auto value = upperHexValue(box);
    if (value && *value == 0) {
        box.setText("00");
    }
    if (isByteValue(value)) {
        return true;
    }
    box.setText("--");
    link_.LogAppend(kInvalidWriteValue, kCrLf);
    return false;
}

// ---- Register operations ------------------------------------------------------------------------

void frmI2C_General::cmdRead_Click() {
    withAutomaticConnection([&] {
        yield();
        if (txtReadByte.Text().empty()) {
            txtReadByte.setText("00");
        }
        const bool answered = readIntoBox(txtUserRegAdr.Text(), txtReadByte, Shape2[2]);
        Shape3.Visible = true;
        lblNak.Visible = true;
        Shape3.FillColor = answered ? link_.colorLightGreen() : link_.colorLightRed();
    });
    yield();
}

void frmI2C_General::txtRdByte_Click(int index) {
    if (index < 0 || index >= kRows) {
        return;
    }
    withAutomaticConnection([&] {
        auto& box = txtRdByte[index];
        if (box.Text().empty()) {
            box.setText("00");
        }
        readIntoBox(Reg_Adr[index].Text(), box, Shape1[index]);
    });
}

void frmI2C_General::cmdReadRegs_Click() {
    withAutomaticConnection([&] {
        yield();
        link_.setReadQty(1);
        for (int i = 0; i < kRows; ++i) {
            if (Reg_Adr[i].characters() != 2) {
                txtRdByte[i].Visible = false;
                Shape1[i].FillColor = link_.colorBlack();
                Shape1[i].Visible = false;
                continue;
            }
            readIntoBox(Reg_Adr[i].Text(), txtRdByte[i], Shape1[i]);
            txtRdByte[i].Visible = true;
            Shape1[i].Visible = true;
        }
    });
}

void frmI2C_General::cmdWrite1Byte_Click(int index) {
    if (index < 0 || index > 1) {
        return;
    }
    if (!writeValueCheck(txtsbwr[index])) {
        return;
    }
    withAutomaticConnection([&] {
        yield();
        const std::uint8_t status =
            writeRegister(address().write(), txtUserRegAdr.Text(), txtsbwr[index].Text());
        Shape3.Visible = true;
        lblNak.Visible = true;
        if (status == 3) {
            Shape3.FillColor = link_.colorLightGreen();
            link_.toggleLamp(Shape2[index]);
        } else {
            txtReadByte.setText("--");
            Shape2[index].FillColor = link_.colorLightRed();
            Shape3.FillColor = link_.colorLightRed();
        }
    });
    yield();
}

void frmI2C_General::txtsbwr_KeyPress(int index, int& key) {
    if (key != 13 || index < 0 || index > 1) {
        return;
    }
    if (writeValueCheck(txtsbwr[index])) {
        cmdWrite1Byte_Click(index);
    }
}

void frmI2C_General::writeGridRow(int index, std::uint8_t address) {
    const std::uint8_t status =
        writeRegister(address, Reg_Adr[index].Text(), txtBWrite[index].Text());
    txtBWrite[index].Visible = true;
    shpBwrite[index].Visible = true;
    if (status == 3) {
        link_.toggleLamp(shpBwrite[index]);
    } else {
        shpBwrite[index].FillColor = link_.colorLightRed();
    }
}

void frmI2C_General::gridRowWrite(int index) {
    if (!writeValueCheck(txtBWrite[index])) {
        return;
    }
    withAutomaticConnection([&] { writeGridRow(index, address().write()); });
}

void frmI2C_General::txtBWrite_DblClick(int index) {
    if (index >= 0 && index < kRows) {
        gridRowWrite(index);
    }
}

void frmI2C_General::txtBWrite_KeyPress(int index, int& key) {
    if (key == 13 && index >= 0 && index < kRows) {
        gridRowWrite(index);
    }
}

void frmI2C_General::cmdwriteAll_Click() {
    withAutomaticConnection([&] {
        yield();
        for (int i = 0; i < kRows; ++i) {
            if (Reg_Adr[i].characters() != 2 || txtBWrite[i].characters() != 2) {
                shpBwrite[i].FillColor = link_.colorBlack();
                shpBwrite[i].Visible = false;
                continue;
            }
            if (writeAllRowIsHex(i)) {
                writeGridRow(i, address().write());
            }
        }
    });
}

bool frmI2C_General::writeAllRowIsHex(int index) {
    for (const form::TextBox* box : {&Reg_Adr[index], &txtBWrite[index]}) {
        if (board::isHexText(box->Text())) {
            continue;
        }
        txtBWrite[index].Visible = true;
        shpBwrite[index].Visible = true;
        shpBwrite[index].FillColor = link_.colorLightRed();
        link_.LogAppend("Write All: row " + std::to_string(index) + " (register " +
                            Reg_Adr[index].Text() + ") not written, \"" + box->Text() +
                            "\" is not two hex digits",
                        kCrLf);
        return false;
    }
    return true;
}

void frmI2C_General::Command7_Click() {
    for (int i = 0; i < kRows; ++i) {
        txtBWrite[i].setText(txtRdByte[i].Text());
    }
}

void frmI2C_General::txtUserRegAdr_KeyPress(int& key) {
    if (key != 13) {
        return;
    }
    const auto value = upperHexValue(txtUserRegAdr);
    if (!value) {
        // Wider than four digits: READ and WRITE send its low eight bits, so the box shows them.
        txtUserRegAdr.setText(board::HexByteText(lowByteOfHex(txtUserRegAdr.Text())));
    } else if (*value == 0) {
        txtUserRegAdr.setText("00");
    }
}

void frmI2C_General::cmdWrite_Click() {
    link_.InitPipes();
    if (txtAddr.Text().empty()) {
        txtAddr.setText("00");
    }
    if (txtData.Text().empty()) {
        txtData.setText("00");
    }
    std::uint8_t address = 0;
    std::uint8_t data = 0;
    const bool addressOk = readsAsHexByte(txtAddr.Text(), address);
    const bool dataOk = readsAsHexByte(txtData.Text(), data);
    if (!addressOk) {
        link_.LogAppend("Direct Write not sent: address \"" + txtAddr.Text() +
                            "\" is not a hex value from 00 to FF",
                        kCrLf);
    }
    if (!dataOk) {
        link_.LogAppend("Direct Write not sent: data \"" + txtData.Text() +
                            "\" is not a hex value from 00 to FF",
                        kCrLf);
    }
    if (addressOk && dataOk) {
        link_.exchange(bridgeproto::directWrite(address, data));
    }
}

// ---- Address entry and communication test -------------------------------------------------------

board::I2cAddress frmI2C_General::address() const {
    return board::I2cAddress::ofText(txtI2CAdr.Text());
}

void frmI2C_General::applyAddress(board::I2cAddress value) {
    link_.setI2cAddress(value.write());
}

void frmI2C_General::rejectAddress() {
    txtI2CAdr.setText("00");
    applyAddress(board::I2cAddress(0));
    link_.host().messageBox(board::kIllegalI2cAddress, form::MsgButtons::Ok, kProgramTitle);
}

void frmI2C_General::padSingleCharacter() {
    if (txtI2CAdr.Text().size() == 1) {
        txtI2CAdr.setText("0" + txtI2CAdr.Text());
    }
}

std::optional<board::I2cAddress> frmI2C_General::addressValue() {
    txtI2CAdr.setText(board::upperAscii(txtI2CAdr.Text()));
    return board::I2cAddress::parse(txtI2CAdr.Text());
}

void frmI2C_General::txtI2CAdr_LostFocus() {
    const auto value = addressValue();
    if (value) {
        applyAddress(*value);
    } else {
        rejectAddress();
    }
    padSingleCharacter();
}

void frmI2C_General::showFail() {
    lblCommTest.BackColor = kVerdictRed;
    lblCommTest.ForeColor = kVerdictWhite;
    lblCommTest.Caption = "Fail";
}

void frmI2C_General::txtI2CAdr_KeyPress(int& key) {
    if (key != 13) {
        return;
    }
    const auto value = addressValue();
    showFail();
    if (value) {
        padSingleCharacter();
        applyAddress(*value);
        cmdTestComm_Click();
    } else {
        rejectAddress();
    }
    padSingleCharacter();
}

void frmI2C_General::cmdTestComm_Click() {
    const bool connect = automatic();
    if (connect) {
        cmdUSBConnect_Click();
    }
    yield();

    // Only 0x00..0xFE can be tested: 0xFF has no read address, and anything wider or negative
    // is not an address at all.
    const auto value = board::I2cAddress::withReadAddress(txtI2CAdr.Text());
    if (value) {
        applyAddress(*value);
        showActualAddresses();
        const bool good = readCommTestRegister();
        showRegisterGrid();
        showCommVerdict(good);
        yield();
        mirrorVerdictOnLeds(good);
    } else {
        refuseCommTestAddress();
    }

    if (connect) {
        cmdUSBDisconnect_Click();
        yield();
    }
}

void frmI2C_General::showActualAddresses() {
    txtActualWrtAddress.setText(board::HexText(link_.i2cWriteAddress()));
    txtActualReadAddress.setText(board::HexText(link_.i2cReadAddress()));
}

bool frmI2C_General::readCommTestRegister() {
    link_.setReadQty(1);
    bridgeproto::Command command = bridgeproto::i2cRead(1, link_.i2cReadAddress(), {0x02});
    // The communication test reads one byte more than its reply holds.
    command.replyLength = 3;
    const board::Reply reply = link_.exchange(command);
    txtTstReg[0].setText(board::HexText(reply.byteAt(0)));
    txtTstReg[1].setText(board::HexText(reply.byteAt(1)));
    return reply.byteAt(0) == 1;
}

void frmI2C_General::showRegisterGrid() {
    Frame1[0].Visible = true;
    Frame1[1].Visible = true;
    cmdReadRegs.Visible = true;
    Command7.Visible = true;
    cmdwriteAll.Visible = true;
}

void frmI2C_General::showCommVerdict(bool good) {
    if (good) {
        lblCommTest.BackColor = kVerdictGreen;
        lblCommTest.ForeColor = kSystemButtonText;
        lblCommTest.Caption = "Good";
    } else {
        showFail();
    }
}

void frmI2C_General::mirrorVerdictOnLeds(bool good) {
    calls_.gpioLedData(1).Value = good ? 1 : 0;
    calls_.gpioLedData(0).Value = good ? 0 : 1;
    yield();
    calls_.gpioLedDataClick(0);
    calls_.gpioLedDataClick(1);
    yield();
    calls_.gpioWrite();
}

void frmI2C_General::refuseCommTestAddress() {
    link_.LogAppend(kAddressTooLarge, kCrLf);
    txtActualWrtAddress.setText("--");
    txtActualReadAddress.setText("--");
    showFail();
}

void frmI2C_General::ChKManUsbConn_Click() {
    link_.setManualConnect(ChKManUsbConn.Value == 1);
}

// ---- Menu ---------------------------------------------------------------------------------------

form::MenuTable frmI2C_General::menus() {
    using form::command;
    using form::Role;
    // Every entry shows its item's caption as it stands ("Capture..." turns "Stop Capture").
    const form::MenuOptions live{.liveCaption = true};
    return {
        form::menu(
            FORM_CONTROL(mnuFileProcess), "File",
            {form::menu(FORM_CONTROL(mnuOPen), "Open",
                        {command(
                             FORM_CONTROL(mnuSetup_Open), "Comm Register Definitions", Role::Data,
                             [this] { mnuSetup_Open_Click(); }, live),
                         command(
                             FORM_CONTROL(mnu_ScriptShow), "Script Execution", Role::Data,
                             [this] { mnu_ScriptShow_Click(); }, live),
                         command(
                             FORM_CONTROL(mnuGPIO), "GPIO Screen", Role::Live,
                             [this] { mnuGPIO_Click(); }, live),
                         command(
                             FORM_CONTROL(mnuRegisterMap), "Register Map...", Role::Live,
                             [this] { mnuRegisterMap_Click(); }, live)}),
             command(
                 FORM_CONTROL(mnuSetup_Save), "Save", Role::Data, [this] { mnuSetup_Save_Click(); },
                 live),
             // A capture may start or stop while an operation runs: it moves no data.
             command(FORM_CONTROL(mnuCapture), kCaptureCaption, Role::Live,
                     [this] { mnuCapture_Click(); }, {.checkable = true, .liveCaption = true})}),
        // "About" is an entry of the menu bar itself, without a submenu.
        command(
            FORM_CONTROL(frmAbout), "About", Role::Live, [this] { frmAbout_Click(); }, live),
    };
}

void frmI2C_General::mnu_ScriptShow_Click() {
    link_.Disconnect_USB();
    showClosedConnection();
    yield();
    ChKManUsbConn.Value = 0;
    ChKManUsbConn_Click();
    yield();
    calls_.showScriptWindow();
}

void frmI2C_General::mnuGPIO_Click() {
    calls_.showGpioPanel();
}

void frmI2C_General::mnuRegisterMap_Click() {
    calls_.showRegisterMap();
}

void frmI2C_General::frmAbout_Click() {
    calls_.showAboutBox();
}

}  // namespace console
