// The register console's layout (every control's place in its container) and the captions,
// tool tips and first texts its controls start with.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "board/HexText.h"
#include "console/frmI2C_General.h"

namespace console {

namespace {

constexpr int kRowHeight = 285;
constexpr int kGridLamp = 135;

int rowTop(int row) {
    return row == 0 ? 540 : 840 + (row - 1) * 360;
}

}  // namespace

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

    Form_Resize(kClientWidth, kClientHeight);
}

}  // namespace console
