#include "console/frmI2C_General.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <vector>

#include "board/HexText.h"
#include "board/Packets.h"
#include "board/TextHelpers.h"

namespace console {

namespace {

using board::kCrLf;
using board::kProgramTitle;

constexpr int kRowHeight = 285;
constexpr int kGridLamp = 135;

// Verdict colours of the communication test: red with white text, dark green with the system's
// button-text colour.
constexpr form::PaletteIndex kVerdictRed = 12;
constexpr form::PaletteIndex kVerdictWhite = 15;
constexpr form::PaletteIndex kVerdictGreen = 2;

std::uint8_t lowByte(std::int16_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) & 0xFF);
}

std::uint8_t hexByte(const std::string& text) {
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

int rowTop(int row) {
    return row == 0 ? 540 : 840 + (row - 1) * 360;
}

// One or more characters, every one a hex digit.
bool isHexText(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// Characters, not bytes: the boxes hold UTF-8, where one letter may take two or more bytes.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The whole text is one to any number of hex digits whose value lies in 0..255.
bool readsAsHexByte(const std::string& text, std::uint8_t& value) {
    if (!isHexText(text)) {
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
}

form::ControlTable frmI2C_General::controls() {
    using form::Role;
    using form::StyleBold;
    using form::StyleCentred;
    using form::StyleCircle;
    using form::StyleMultiLine;
    form::ControlTable t;
    auto at = [](std::string_view container, int containerIndex, int left, int top, int width,
                 int height, unsigned style = form::StyleNone) {
        return form::ControlGeometry{container, containerIndex, left, top, width, height, style};
    };
    const std::string_view window;
    const std::string_view tabs = FORM_NAME(SSTab1);
    const std::string_view inner = FORM_NAME(pbinner);
    const std::string_view grid = FORM_NAME(Frame1);
    const std::string_view panel = FORM_NAME(FRGEN);
    // Window level, drawn over the tab headers and below the design area.
    t.push_back(entry(FORM_CONTROL(txtActualReadAddress),
                      at(window, -1, 7560, 30, 645, 285, StyleCentred)));
    t.push_back(
        entry(FORM_CONTROL(txtActualWrtAddress), at(window, -1, 8280, 30, 645, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(cbNoc), at(window, -1, 120, 8040, 2400, 375), Role::Live,
                      {.click = [this] { cbNoc_Click(); }}));
    // Tab 1: the log.
    t.push_back(entry(FORM_CONTROL(cmdClearLog), at(tabs, 1, 120, 480, 1215, 375), Role::Live,
                      {.click = [this] { cmdClearLog_Click(); }}));
    t.push_back(entry(FORM_CONTROL(Txtlog), at(tabs, 1, 120, 960, 7635, 5235, StyleMultiLine)));
    // pbinner, left column.
    t.push_back(entry(FORM_CONTROL(Label13), at(inner, -1, 60, 120, 1200, 255)));
    t.push_back(entry(FORM_CONTROL(ShpAttach), at(inner, -1, 1400, 150, 240, 180)));
    t.push_back(entry(FORM_CONTROL(Label12), at(inner, -1, 60, 480, 1200, 255)));
    t.push_back(entry(FORM_CONTROL(ShpHandleStatus), at(inner, -1, 1400, 510, 240, 180)));
    t.push_back(entry(FORM_CONTROL(txthDriver), at(inner, -1, 60, 750, 1680, 285)));
    t.push_back(entry(FORM_CONTROL(Label3), at(inner, -1, 60, 1170, 960, 255)));
    t.push_back(entry(FORM_CONTROL(txtI2CAdr), at(inner, -1, 1080, 1140, 660, 285, StyleCentred),
                      Role::Data,
                      {.keyPress = [this](int& key) { txtI2CAdr_KeyPress(key); },
                       .lostFocus = [this] { txtI2CAdr_LostFocus(); }}));
    t.push_back(entry(FORM_CONTROL(Label9), at(inner, -1, 60, 1530, 1000, 255)));
    t.push_back(
        entry(FORM_CONTROL(txtTstReg), 0, at(inner, -1, 1080, 1500, 660, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(Label10), at(inner, -1, 60, 1890, 1000, 255)));
    t.push_back(
        entry(FORM_CONTROL(txtTstReg), 1, at(inner, -1, 1080, 1860, 660, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(cmdTestComm), at(inner, -1, 60, 2280, 900, 375), Role::Data,
                      {.click = [this] { cmdTestComm_Click(); }}));
    t.push_back(entry(FORM_CONTROL(lblCommTest),
                      at(inner, -1, 1080, 2280, 660, 375, StyleCentred | StyleBold)));
    t.push_back(entry(FORM_CONTROL(Label5), at(inner, -1, 60, 2790, 1200, 390)));
    t.push_back(entry(FORM_CONTROL(shpLogStatus), at(inner, -1, 1400, 2880, 240, 180)));
    t.push_back(entry(FORM_CONTROL(ChKManUsbConn), at(inner, -1, 60, 3300, 1680, 435), Role::Data,
                      {.click = [this] { ChKManUsbConn_Click(); }}));
    t.push_back(entry(FORM_CONTROL(lblUSBConnect), at(inner, -1, 60, 3900, 1680, 255)));
    t.push_back(entry(FORM_CONTROL(cmdUSBConnect), at(inner, -1, 60, 4200, 1260, 375), Role::Data,
                      {.click = [this] { cmdUSBConnect_Click(); }}));
    t.push_back(entry(FORM_CONTROL(shpUSBCon), 0, at(inner, -1, 1400, 4305, 240, 180)));
    t.push_back(entry(FORM_CONTROL(cmdUSBDisconnect), at(inner, -1, 60, 4680, 1260, 375),
                      Role::Data, {.click = [this] { cmdUSBDisconnect_Click(); }}));
    t.push_back(entry(FORM_CONTROL(shpUSBCon), 1, at(inner, -1, 1400, 4785, 240, 180)));
    // pbinner, the two grid frames side by side.
    t.push_back(entry(FORM_CONTROL(Frame1), 0, at(inner, -1, 1890, 0, 4350, 6300)));
    t.push_back(entry(FORM_CONTROL(Frame1), 1, at(inner, -1, 6255, 0, 4350, 6300)));
    for (int f = 0; f < 2; ++f) {
        t.push_back(
            entry(FORM_CONTROL(Label2), 4 * f + 0, at(grid, f, 45, 270, 375, 225, StyleCentred)));
        t.push_back(entry(FORM_CONTROL(Label2), 4 * f + 1, at(grid, f, 435, 270, 2800, 225)));
        t.push_back(
            entry(FORM_CONTROL(Label2), 4 * f + 2, at(grid, f, 3240, 270, 400, 225, StyleCentred)));
        t.push_back(
            entry(FORM_CONTROL(Label2), 4 * f + 3, at(grid, f, 3780, 270, 420, 225, StyleCentred)));
        for (int r = 0; r < 16; ++r) {
            const int i = 16 * f + r;
            const int top = rowTop(r);
            const int lampTop = top + (kRowHeight - kGridLamp) / 2;
            t.push_back(entry(FORM_CONTROL(Reg_Adr), i,
                              at(grid, f, 45, top, 375, kRowHeight, StyleCentred)));
            t.push_back(entry(FORM_CONTROL(Reg_Desc), i, at(grid, f, 435, top, 2800, kRowHeight)));
            t.push_back(entry(FORM_CONTROL(txtBWrite), i,
                              at(grid, f, 3255, top, 375, kRowHeight, StyleCentred), Role::Data,
                              {.doubleClick = [this, i] { txtBWrite_DblClick(i); },
                               .keyPress = [this, i](int& key) { txtBWrite_KeyPress(i, key); }}));
            t.push_back(entry(FORM_CONTROL(shpBwrite), i,
                              at(grid, f, 3645, lampTop, kGridLamp, kGridLamp, StyleCircle)));
            t.push_back(entry(FORM_CONTROL(txtRdByte), i,
                              at(grid, f, 3800, top, 375, kRowHeight, StyleCentred), Role::Data,
                              {.click = [this, i] { txtRdByte_Click(i); }}));
            t.push_back(entry(FORM_CONTROL(Shape1), i,
                              at(grid, f, 4190, lampTop, kGridLamp, kGridLamp, StyleCircle)));
        }
    }
    // pbinner, the single-register panel under the left grid frame.
    t.push_back(entry(FORM_CONTROL(FRGEN), at(inner, -1, 1890, 6330, 4350, 975)));
    // The frame's border runs under its caption; its controls start just below that line.
    constexpr int kPanelTop = 255;
    t.push_back(entry(FORM_CONTROL(Label4), at(panel, -1, 90, kPanelTop, 1095, 390, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtUserRegAdr),
                      at(panel, -1, 360, kPanelTop + 405, 555, 285, StyleCentred), Role::Data,
                      {.keyPress = [this](int& key) { txtUserRegAdr_KeyPress(key); }}));
    for (int k = 0; k < 3; ++k) {
        const int left = 1230 + 810 * k;
        if (k < 2) {
            t.push_back(entry(FORM_CONTROL(cmdWrite1Byte), k,
                              at(panel, -1, left, kPanelTop, 690, 330), Role::Data,
                              {.click = [this, k] { cmdWrite1Byte_Click(k); }}));
            t.push_back(entry(FORM_CONTROL(txtsbwr), k,
                              at(panel, -1, left, kPanelTop + 390, 480, 285, StyleCentred),
                              Role::Data,
                              {.keyPress = [this, k](int& key) { txtsbwr_KeyPress(k, key); }}));
        } else {
            t.push_back(entry(FORM_CONTROL(cmdRead), at(panel, -1, left, kPanelTop, 690, 330),
                              Role::Data, {.click = [this] { cmdRead_Click(); }}));
            t.push_back(entry(FORM_CONTROL(txtReadByte),
                              at(panel, -1, left, kPanelTop + 390, 480, 285, StyleCentred)));
        }
        t.push_back(
            entry(FORM_CONTROL(Shape2), k, at(panel, -1, left + 525, kPanelTop + 465, 135, 135)));
    }
    t.push_back(
        entry(FORM_CONTROL(lblNak), at(panel, -1, 3660, kPanelTop + 45, 600, 255, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(Shape3), at(panel, -1, 3870, kPanelTop + 465, 180, 135)));
    // pbinner, the buttons under the right grid frame.
    t.push_back(entry(FORM_CONTROL(cmdReadRegs), at(inner, -1, 6255, 6375, 2100, 450), Role::Data,
                      {.click = [this] { cmdReadRegs_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdwriteAll), at(inner, -1, 8505, 6375, 2100, 450), Role::Data,
                      {.click = [this] { cmdwriteAll_Click(); }}));
    t.push_back(entry(FORM_CONTROL(Command7), at(inner, -1, 6255, 6885, 2850, 360), Role::Data,
                      {.click = [this] { Command7_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdexit), at(inner, -1, 9525, 6885, 1080, 360), Role::Data,
                      {.click = [this] { cmdexit_Click(); }}));
    return t;
}

void frmI2C_General::initControls() {
    Caption = kTitle;

    SSTab1.TabCaption = {"General I2C Comm", "Program Log"};
    SSTab1.Tab = 0;
    cmdClearLog.Caption = "Clear Log";
    Txtlog.Locked = true;
    txtActualReadAddress.ToolTipText = "Actual I2C Read Address";
    txtActualWrtAddress.ToolTipText = "Actual I2C Write Address";
    Label6[0].Caption = "Write Adr";
    Label6[1].Caption = "Read Adr";
    cbNoc.Caption = "USB Initialized";
    pbinner.Width = kInnerWidth;
    pbinner.Height = kInnerHeight;
    for (ScrollBar* bar : {&VScroll1, &HScroll1}) {
        bar->LargeChange = kScrollLargeChange;
        bar->SmallChange = kScrollSmallChange;
    }

    Label13.Caption = "USB Attach";
    Label12.Caption = "Handle";
    txthDriver.setText("Not Initialized");
    Label3.Caption = "I2C Addr";
    txtI2CAdr.setText("60");
    txtI2CAdr.ToolTipText = "Enter I2C Address";
    Label9.Caption = "Transfer Count";
    Label10.Caption = "Value";
    txtTstReg[0].ToolTipText = "If good Com, will be equal to 1.";
    cmdTestComm.Caption = "Test";
    cmdTestComm.ToolTipText = "Click to test Communications";
    Label5.Caption = "USB Comm Log Status";
    ChKManUsbConn.Caption = "Manual USB Connect / Disconnect";
    ChKManUsbConn.ToolTipText = "Check to disable automatic open / closing of USB connection.";
    ChKManUsbConn.Value = 0;
    lblUSBConnect.Caption = "Manual User Connect";
    cmdUSBConnect.Caption = "USB Connect";
    cmdUSBConnect.ToolTipText = "Connect and leave USB connection open.";
    cmdUSBDisconnect.Caption = "USB Disconnect";
    cmdUSBDisconnect.ToolTipText = "Close USB Connection.";

    for (auto& frame : Frame1) {
        frame.Caption = "Active Device Registers";
    }
    static constexpr const char* kHeadings[] = {"Adr", "Description", "Write", "Read"};
    for (std::size_t i = 0; i < Label2.size(); ++i) {
        Label2[i].Caption = kHeadings[i % 4];
    }
    for (int i = 0; i < kRows; ++i) {
        Reg_Adr[i].setText(board::HexByteText(static_cast<std::uint8_t>(i)));
        Reg_Adr[i].ToolTipText = "Register Address 0x00 to 0xFF";
        txtBWrite[i].ToolTipText = "Double click, or press ENTER key to write to single register";
        txtRdByte[i].ToolTipText = "Single click to read register";
    }

    FRGEN.Caption = "Single Byte Transfer User Panel";
    Label4.Caption = "Device Register Address";
    txtUserRegAdr.setText("00");
    for (auto& button : cmdWrite1Byte) {
        button.Caption = "WRITE";
        button.ToolTipText =
            "Writes Data entered below to  Address in Device Register Address Text Box";
    }
    txtsbwr[0].setText("AA");
    txtsbwr[1].setText("55");
    cmdRead.Caption = "READ";
    cmdRead.ToolTipText = "Reads Address in Device Register Address Text Box";
    txtReadByte.setText("--");
    lblNak.Caption = "NAK";
    lblNak.Visible = false;
    Shape3.Visible = false;
    lblReadCount.Caption = "--";
    lblReadCount.Visible = false;
    cmdReadRegs.Caption = "Read All Active   Registers";
    cmdReadRegs.ToolTipText = "Performs Single Byte Reads on all Registers";
    cmdwriteAll.Caption = "Write All Active  Registers";
    cmdwriteAll.ToolTipText = "Performs Single Byte Writes  on all Registers";
    Command7.Caption = "Set Write Data = Read Data ";
    Command7.ToolTipText = "Moves Active Device Registers  Read Data Into Associated Write Boxes";
    cmdexit.Caption = "Exit";
    cbSend.Caption = "Send All";
    cbReset.Caption = "Reset";

    cmdWrite.Caption = "Write";
    txtAddr.setText("00");
    txtData.setText("00");

    mnuFileProcess.Caption = "File";
    mnuOPen.Caption = "Open";
    mnuSetup_Open.Caption = "Comm Register Definitions";
    mnu_ScriptShow.Caption = "Script Execution";
    mnuGPIO.Caption = "GPIO Screen";
    mnuSetup_Save.Caption = "Save";
    frmAbout.Caption = "About";

    Form_Resize(kClientWidth, kClientHeight);
}

void frmI2C_General::yield() {
    link_.host().doEvents();
}

bool frmI2C_General::automatic() const {
    return link_.s.ManualUsbConnect == board::False;
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

void frmI2C_General::toggleLamp(form::Lamp& lamp) {
    const auto& s = link_.s;
    lamp.FillColor = form::paletteRgb(lamp.FillColor) == form::paletteRgb(s.ColorLightGreen)
                         ? s.ColorGreen
                         : s.ColorLightGreen;
}

// ---- Load, layout, closing ------------------------------------------------------------------

void frmI2C_General::Form_Load() {
    auto& s = link_.s;
    Loaded = true;
    s.ActiveWindow = this;
    s.GpioState = {0x00, 0x00, 0xFF, 0xFF};
    s.ManualUsbConnect = board::False;
    s.UsbOpened = board::False;

    const std::uint8_t address = hexByte(txtI2CAdr.Text());
    s.I2CWriteAddr = address;
    s.I2CReadAddr = static_cast<std::uint8_t>(address + 1);
    showActualAddresses();
    s.CommError = board::False;

    // Colours first, so the lamps that the start-up connect sets show real colours.
    link_.InitColors();
    link_.Connect_Usb();
    yield();
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
        shpBwrite[i].FillColor = s.ColorBlack;
        Shape1[i].FillColor = s.ColorBlack;
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
    auto& s = link_.s;
    s.ActiveWindow = this;
    s.I2CWriteAddr = hexByte(txtI2CAdr.Text());
    s.I2CReadAddr = static_cast<std::uint8_t>(s.I2CWriteAddr + 1);
    yield();
}

void frmI2C_General::Form_QueryUnload(bool& cancel) {
    if (link_.s.UsbOpened != board::False) {
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
    const auto& s = link_.s;
    // Read afresh: a nested operation (the GPIO panel's own disconnect inside the communication
    // test) may have closed the connection that the caller opened.
    const bool open = s.UsbOpened != board::False;
    shpUSBCon[0].FillColor = open ? s.ColorLightGreen : s.ColorBlack;
    shpUSBCon[1].FillColor = open ? s.ColorBlack : s.ColorLightGreen;
    ShpHandleStatus.FillColor = open ? s.ColorLightGreen : s.ColorBlack;
    if (open) {
        txthDriver.setText(board::DecimalWithSign(static_cast<std::int32_t>(s.DriverHandle)));
    }
    cmdexit.Visible = !open;
}

void frmI2C_General::showClosedConnection() {
    if (link_.s.UsbOpened == board::False) {
        txthDriver.setText("Closed");
    }
    showConnectionState();
}

// ---- Register transactions --------------------------------------------------------------------

frmI2C_General::ReadResult frmI2C_General::readRegister(const std::string& registerText) {
    auto& s = link_.s;
    s.ReadQty = 1;
    const auto readAddress = static_cast<std::uint8_t>(hexByte(txtI2CAdr.Text()) + 1);
    const auto pipe = static_cast<std::uint32_t>(s.OutPipeNum);
    link_.sendPacket(pipe, board::I2cReadCommand(static_cast<std::uint8_t>(s.ReadQty), readAddress,
                                                 {hexByte(registerText)}));
    // A failed transfer leaves the zero-filled reply, so it reads as count 0: a failure.
    const board::Reply reply = link_.receiveReply(pipe + 128, s.ReadQty + 1);
    const ReadResult result{reply.byteAt(0), reply.byteAt(1)};
    lblReadCount.Caption = board::DecimalWithSign(result.status);
    return result;
}

std::uint8_t frmI2C_General::writeRegister(std::uint8_t address, const std::string& registerText,
                                           const std::string& valueText) {
    auto& s = link_.s;
    s.WriteQty = 1;
    const auto pipe = static_cast<std::uint32_t>(s.OutPipeNum);
    link_.sendPacket(pipe, board::I2cWriteCommand(static_cast<std::uint8_t>(s.WriteQty), address,
                                                  {hexByte(registerText)}, {hexByte(valueText)}));
    const std::uint8_t status = link_.receiveReply(pipe + 128, s.WriteQty + 1).byteAt(0);
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
    const auto& s = link_.s;
    withAutomaticConnection([&] {
        yield();
        if (txtReadByte.Text().empty()) {
            txtReadByte.setText("00");
        }
        const ReadResult r = readRegister(txtUserRegAdr.Text());
        txtReadByte.setText(board::HexByteText(r.data));
        Shape3.Visible = true;
        lblNak.Visible = true;
        if (r.status == 1) {
            Shape3.FillColor = s.ColorLightGreen;
            toggleLamp(Shape2[2]);
        } else {
            txtReadByte.setText("--");
            Shape2[2].FillColor = s.ColorLightRed;
            Shape3.FillColor = s.ColorLightRed;
        }
    });
    yield();
}

void frmI2C_General::txtRdByte_Click(int index) {
    if (index < 0 || index >= kRows) {
        return;
    }
    const auto& s = link_.s;
    withAutomaticConnection([&] {
        auto& box = txtRdByte[index];
        if (box.Text().empty()) {
            box.setText("00");
        }
        const ReadResult r = readRegister(Reg_Adr[index].Text());
        box.setText(board::HexByteText(r.data));
        if (r.status == 1) {
            toggleLamp(Shape1[index]);
        } else {
            box.setText("--");
            Shape1[index].FillColor = s.ColorLightRed;
        }
    });
}

void frmI2C_General::cmdReadRegs_Click() {
    const auto& s = link_.s;
    withAutomaticConnection([&] {
        yield();
        link_.s.ReadQty = 1;
        for (int i = 0; i < kRows; ++i) {
            if (characterCount(Reg_Adr[i].Text()) != 2) {
                txtRdByte[i].Visible = false;
                Shape1[i].FillColor = s.ColorBlack;
                Shape1[i].Visible = false;
                continue;
            }
            const ReadResult r = readRegister(Reg_Adr[i].Text());
            txtRdByte[i].setText(board::HexByteText(r.data));
            txtRdByte[i].Visible = true;
            Shape1[i].Visible = true;
            if (r.status == 1) {
                toggleLamp(Shape1[i]);
            } else {
                txtRdByte[i].setText("--");
                Shape1[i].FillColor = s.ColorLightRed;
            }
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
    const auto& s = link_.s;
    withAutomaticConnection([&] {
        yield();
        const std::uint8_t status =
            writeRegister(hexByte(txtI2CAdr.Text()), txtUserRegAdr.Text(), txtsbwr[index].Text());
        Shape3.Visible = true;
        lblNak.Visible = true;
        if (status == 3) {
            Shape3.FillColor = s.ColorLightGreen;
            toggleLamp(Shape2[index]);
        } else {
            txtReadByte.setText("--");
            Shape2[index].FillColor = s.ColorLightRed;
            Shape3.FillColor = s.ColorLightRed;
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
        toggleLamp(shpBwrite[index]);
    } else {
        shpBwrite[index].FillColor = link_.s.ColorLightRed;
    }
}

void frmI2C_General::gridRowWrite(int index) {
    if (!writeValueCheck(txtBWrite[index])) {
        return;
    }
    withAutomaticConnection([&] { writeGridRow(index, hexByte(txtI2CAdr.Text())); });
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
    const auto& s = link_.s;
    withAutomaticConnection([&] {
        yield();
        for (int i = 0; i < kRows; ++i) {
            if (characterCount(Reg_Adr[i].Text()) != 2 ||
                characterCount(txtBWrite[i].Text()) != 2) {
                shpBwrite[i].FillColor = s.ColorBlack;
                shpBwrite[i].Visible = false;
                continue;
            }
            if (writeAllRowIsHex(i)) {
                writeGridRow(i, hexByte(txtI2CAdr.Text()));
            }
        }
    });
}

bool frmI2C_General::writeAllRowIsHex(int index) {
    for (const form::TextBox* box : {&Reg_Adr[index], &txtBWrite[index]}) {
        if (isHexText(box->Text())) {
            continue;
        }
        txtBWrite[index].Visible = true;
        shpBwrite[index].Visible = true;
        shpBwrite[index].FillColor = link_.s.ColorLightRed;
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
        txtUserRegAdr.setText(board::HexByteText(hexByte(txtUserRegAdr.Text())));
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
        link_.sendPacket(board::kDirectWritePipe, board::DirectWriteCommand(address, data));
    }
}

// ---- Address entry and communication test
// ---------------------------------------------------------

void frmI2C_General::applyAddress(int value) {
    auto& s = link_.s;
    s.I2CWriteAddr = static_cast<std::uint8_t>(value);
    s.I2CReadAddr = static_cast<std::uint8_t>(value + 1);
}

void frmI2C_General::rejectAddress() {
    txtI2CAdr.setText("00");
    applyAddress(0);
    link_.host().messageBox(kIllegalAddress, form::MsgButtons::Ok, kProgramTitle);
}

void frmI2C_General::padSingleCharacter() {
    if (txtI2CAdr.Text().size() == 1) {
        txtI2CAdr.setText("0" + txtI2CAdr.Text());
    }
}

std::optional<std::int16_t> frmI2C_General::addressValue() {
    const auto value = upperHexValue(txtI2CAdr);
    // A text with any character that is not a hex digit (or none at all) would read as 00, the
    // general-call address that every device on the bus answers.
    if (!isHexText(txtI2CAdr.Text()) || !isByteValue(value)) {
        return std::nullopt;
    }
    return value;
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
    auto& s = link_.s;
    const bool connect = automatic();
    if (connect) {
        cmdUSBConnect_Click();
    }
    yield();
    s.TransferPipe = static_cast<std::uint32_t>(s.OutPipeNum);

    // Only 0x00..0xFE can be tested: 0xFF has no read address, and anything wider or negative
    // is not an address at all.
    const auto value = board::HexValChecked(txtI2CAdr.Text());
    if (value && *value >= 0 && *value < 255) {
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
    const auto& s = link_.s;
    txtActualWrtAddress.setText(board::HexText(s.I2CWriteAddr));
    txtActualReadAddress.setText(board::HexText(s.I2CReadAddr));
}

bool frmI2C_General::readCommTestRegister() {
    auto& s = link_.s;
    s.ReadQty = 1;
    const auto pipe = static_cast<std::uint32_t>(s.OutPipeNum);
    link_.sendPacket(
        pipe, board::I2cReadCommand(static_cast<std::uint8_t>(s.ReadQty), s.I2CReadAddr, {0x02}));
    const board::Reply reply = link_.receiveReply(pipe + 128, 3);
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
    link_.s.ManualUsbConnect = ChKManUsbConn.Value == 1 ? board::True : board::False;
}

// ---- Menu
// ------------------------------------------------------------------------------------------

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

void frmI2C_General::frmAbout_Click() {
    calls_.showAboutBox();
}

}  // namespace console
