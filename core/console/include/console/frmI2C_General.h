// The register console, the program's main window, as a model without any toolkit: its controls
// are public members named as the controls, its event handlers are member functions named as the
// handlers. A view binds widgets to the members, calls the handlers from widget signals and
// re-renders from the members after each handler and at every yield.
//
// Layout for the view (all in twips, 15 to a pixel):
// - kClientWidth x kClientHeight is the design client area, centred on the screen at start.
// - VScroll1, HScroll1, PbForm, SSTab1, pbouter and pbinner carry their own runtime position:
//   Form_Resize moves and sizes them, the scroll handlers move pbinner inside pbouter.
// - controls() lists every other control that is ever seen, with the container it lies in (the
//   window, "SSTab1" page 0 or 1 given as containerIndex, "pbinner", "Frame1" 0 or 1,
//   "FRGEN") and its rectangle relative to that container. Controls absent from the table are
//   never seen: Label6, cmdWrite, txtAddr and txtData lie under PbForm, which covers them.
// - Text box alignment, bold labels, circular lamps and the multi-line log are style flags.
// - Captions and tooltips are in the members after construction, exactly as shown.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "board/BoardLink.h"
#include "board/I2cAddress.h"
#include "client/BusCapture.h"
#include "console/ConsoleLink.h"
#include "console/PictureBox.h"
#include "console/ScrollBar.h"
#include "console/TabControl.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/MenuTable.h"
#include "form/Window.h"

namespace console {

class frmI2C_General : public form::Window {
  public:
    static constexpr int kClientWidth = 11205;
    static constexpr int kClientHeight = 7995;
    static constexpr int kInnerWidth = 10635;
    static constexpr int kInnerHeight = 7335;
    static constexpr int kScrollBarSize = 255;  // thickness of VScroll1 and HScroll1
    // Page and step of VScroll1 and HScroll1.
    static constexpr int kScrollLargeChange = 2500;
    static constexpr int kScrollSmallChange = 250;
    static constexpr int kRows = 32;

    static constexpr const char* kTitle = "Velmorix I2C Communications Software";
    // "File" > "Capture..." while no capture runs.
    static constexpr const char* kCaptureCaption = "Capture...";
    static constexpr const char* kInvalidWriteValue = "Invalid Write Value";
    static constexpr const char* kCloseRefused =
        "Form will not close until USB Connection is closed. Click USB Disconnect";
    // Logged when the start-up look finds no board: what it means, and how to try the program
    // anyway.
    static constexpr const char* kNoBoardFound =
        "No bridge board found, or start it with --bridge sim to try it on a simulated board";
    static constexpr const char* kAddressTooLarge = "Address value too large";
    // Not a palette entry: views paint it in the system's button-text colour ("Good" verdict).
    static constexpr form::PaletteIndex kSystemButtonText = -1;
    // Follows the setup file's title in the caption.
    static constexpr const char* kSetupCaptionSuffix = " - Velmorix I2CUSB";

    // Sets every control to its design state; nothing runs until Form_Load.
    frmI2C_General(board::BoardLink& link, ConsoleLink& calls);
    // Ends a running capture.
    ~frmI2C_General() override;

    // Every visible control not listed above as moved at run time: its design place, whether
    // it may move data, and the handlers its events run. Refers to this window's members.
    form::ControlTable controls();
    // The menu bar: each menu and entry with its first caption, whether it may move data and the
    // handler it runs. Refers to this window's members.
    form::MenuTable menus();

    // The device address a click sends: what "I2C Addr" holds now, as every window takes it.
    board::I2cAddress address() const;

    // ---- Window level -------------------------------------------------------------------
    ScrollBar VScroll1;
    ScrollBar HScroll1;
    PictureBox PbForm;
    TabControl SSTab1;
    form::Button cmdClearLog;  // tab 1
    form::TextBox Txtlog;      // tab 1, read-only multi-line log
    form::TextBox txtActualReadAddress;
    form::TextBox txtActualWrtAddress;
    std::array<form::Label, 2> Label6;  // under PbForm, never seen
    form::Button cbNoc;
    PictureBox pbouter;  // tab 0 viewport
    PictureBox pbinner;  // the scrolled panel

    // ---- pbinner, left column ------------------------------------------------------------
    form::Label Label13;
    form::Lamp ShpAttach;
    form::Label Label12;
    form::TextBox txthDriver;
    form::Lamp ShpHandleStatus;
    form::Label Label3;
    form::TextBox txtI2CAdr;
    form::Label Label9;
    form::Label Label10;
    std::array<form::TextBox, 2> txtTstReg;
    form::Button cmdTestComm;
    form::Label lblCommTest;
    form::Label Label5;
    form::Lamp shpLogStatus;
    form::CheckBox ChKManUsbConn;
    form::Label lblUSBConnect;
    form::Button cmdUSBConnect;
    form::Button cmdUSBDisconnect;
    std::array<form::Lamp, 2> shpUSBCon;

    // ---- pbinner, register grid ------------------------------------------------------------
    std::array<form::Frame, 2> Frame1;
    // Column headings "Adr", "Description", "Write", "Read": 0..3 in Frame1(0), 4..7 in Frame1(1).
    std::array<form::Label, 8> Label2;
    std::array<form::TextBox, kRows> Reg_Adr;
    std::array<form::TextBox, kRows> Reg_Desc;
    std::array<form::TextBox, kRows> txtBWrite;
    std::array<form::Lamp, kRows> shpBwrite;
    std::array<form::TextBox, kRows> txtRdByte;
    std::array<form::Lamp, kRows> Shape1;

    // ---- pbinner, single-register panel and buttons -----------------------------------------
    form::Frame FRGEN;
    form::Label Label4;
    form::TextBox txtUserRegAdr;
    std::array<form::Button, 2> cmdWrite1Byte;
    std::array<form::TextBox, 2> txtsbwr;
    std::array<form::Lamp, 3> Shape2;  // 0, 1 write lamps; 2 read lamp
    form::Button cmdRead;
    form::TextBox txtReadByte;
    form::Label lblNak;
    form::Lamp Shape3;
    form::Label lblReadCount;  // never shown
    form::Button cmdReadRegs;
    form::Button cmdwriteAll;
    form::Button Command7;
    form::Button cmdexit;
    form::Button cbSend;   // hidden at load
    form::Button cbReset;  // hidden at load

    // ---- Covered direct-write controls -----------------------------------------------------
    form::Button cmdWrite;
    form::TextBox txtAddr;
    form::TextBox txtData;

    // ---- Menu --------------------------------------------------------------------------------
    form::MenuItem mnuFileProcess;  // "File"
    form::MenuItem mnuOPen;         // "File" > "Open"
    form::MenuItem mnuSetup_Open;   // "File" > "Open" > "Comm Register Definitions"
    form::MenuItem mnu_ScriptShow;  // "File" > "Open" > "Script Execution"
    form::MenuItem mnuGPIO;         // "File" > "Open" > "GPIO Screen"
    form::MenuItem mnuRegisterMap;  // "File" > "Open" > "Register Map..."
    form::MenuItem mnuSetup_Save;   // "File" > "Save"
    form::MenuItem mnuCapture;      // "File" > "Capture..." ("Stop Capture", checked, while on)
    form::MenuItem frmAbout;        // "About"

    // ---- Window events -------------------------------------------------------------------------
    // The load sequence: first state of the program, one connect and disconnect, the initial
    // GPIO write. Board failures go to the log; loading always completes.
    void Form_Load();
    // Places the scroll bars and panels for a client area of the given size in twips; does
    // nothing when either side is 500 twips or less.
    void Form_Resize(int scaleWidth, int scaleHeight);
    // The window itself got the focus: refreshes ActiveWindow and the addresses, no range check.
    void Form_GotFocus();
    // Sets cancel (and logs why) while the board connection is open.
    void Form_QueryUnload(bool& cancel);
    // A close was refused: logs why and brings the "Program Log" tab forward, so the reason
    // shows.
    void showCloseRefused();
    // Yields once and ends the program.
    void Form_Unload();
    // Moves pbinner to the scroll bars' values.
    void VScroll1_Change();
    void HScroll1_Change();
    // A tab header was clicked; the view sets SSTab1.Tab first. Yields twice.
    void SSTab1_Click(int previousTab);
    // Empties the log.
    void cmdClearLog_Click();
    // Asks to close: refused while connected, otherwise unloads.
    void cmdexit_Click();
    // Logs the reset reminder; the board has no reset command.
    void cbReset_Click();
    void cbSend_Click();
    void cbNoc_Click();

    // ---- Connection --------------------------------------------------------------------------
    // Connect_Usb, then the lamps, the handle box and cmdexit show whether it opened (cmdexit is
    // hidden while open). A failed open is logged by the board link.
    void cmdUSBConnect_Click();
    // Disconnect_USB, then the lamps, the handle box ("Closed") and cmdexit show the connection
    // as it really is afterwards.
    void cmdUSBDisconnect_Click();

    // ---- Register operations ---------------------------------------------------------------
    // Reads the panel's register into txtReadByte; a failed transfer shows "--" and red lamps.
    void cmdRead_Click();
    // Reads grid row i (0..31); "--" and a red lamp on failure.
    void txtRdByte_Click(int index);
    // Reads every row whose register text has exactly two characters; hides the others.
    void cmdReadRegs_Click();
    // Writes txtsbwr(k) (k 0 or 1) to the panel's register; an invalid value shows "--", logs
    // "Invalid Write Value" and sends nothing.
    void cmdWrite1Byte_Click(int index);
    // Enter (13) in a panel write box: value check, then cmdWrite1Byte_Click. Other keys pass.
    void txtsbwr_KeyPress(int index, int& key);
    // Writes grid row i, address from txtI2CAdr; invalid values as for the panel write.
    void txtBWrite_DblClick(int index);
    // Enter in a grid write box writes row i as the double click does (the shared write address
    // may have been moved by a script). Other keys pass.
    void txtBWrite_KeyPress(int index, int& key);
    // Writes every row whose register and write texts both are exactly two characters, without
    // the range check; hides the other rows' write lamps. A two-character text that is not two
    // hex digits ("--" from a failed read) fails its row: red lamp, nothing sent, a log line.
    void cmdwriteAll_Click();
    // Copies every read text into its write box.
    void Command7_Click();
    // Enter normalises the panel's register text (upper case, "00" for zero, the low eight bits
    // that READ sends for more than four digits). Other keys pass.
    void txtUserRegAdr_KeyPress(int& key);
    // The covered direct write to endpoint 4; texts that are not hex 0..255 send nothing and the
    // log says why.
    void cmdWrite_Click();

    // ---- Address and communication test ---------------------------------------------------------
    // Enter: address check, then the communication test; an address that is not hex or above FF
    // shows the "Illegal I2C Address, re-enter" box instead. Other keys pass.
    void txtI2CAdr_KeyPress(int& key);
    // Address check only (message box for a text that is not hex or above FF).
    void txtI2CAdr_LostFocus();
    // Reads register 2 of the device, shows "Good" or "Fail" and mirrors it on the board's LEDs
    // through the GPIO panel; "FF" is refused with "Address value too large".
    void cmdTestComm_Click();
    // ManualUsbConnect follows the check box (True only for value 1).
    void ChKManUsbConn_Click();

    // ---- Menu handlers --------------------------------------------------------------------------
    // "Comm Register Definitions": asks for a setup file and reads it; a cancelled dialog
    // changes nothing.
    void mnuSetup_Open_Click();
    // Fills txtI2CAdr, the addresses and the 32 register rows from the setup file and names the
    // window after it. Returns false, with the reason in the log and a message box and nothing
    // changed, when the file cannot be read or ends early.
    bool Read_Param_File(const std::string& path, const std::string& fileTitle);
    // Closes the connection, clears the manual switch, then shows the script window.
    void mnu_ScriptShow_Click();
    void mnuGPIO_Click();
    // Shows the register-map window.
    void mnuRegisterMap_Click();
    // "Save": asks for a file name (proposing the setup file last opened or saved), writes the
    // setup file and names the window after it. A cancelled dialog or a failed write leaves the
    // caption as it was.
    void mnuSetup_Save_Click();
    // Writes txtI2CAdr and the 32 register rows of this window (whatever FrmIn is) to the file,
    // yielding before each row; logs it when the file goes out as UTF-8 rather than the
    // original platform's Windows-1252. Returns false, with the reason in the log and a message
    // box, when the file could not be replaced; the old file is then unchanged.
    bool WriteParameters(const std::string& strParamFile, form::Window& FrmIn);
    void frmAbout_Click();
    // "Capture...": asks for a file and captures every I2C message to it from now on (pcapng,
    // .pcap or .vcd by its name); "Stop Capture" ends it. Each logs a line; a file that cannot
    // be written is refused with a message box and the log line, and nothing changes.
    void mnuCapture_Click();
    // The file being captured to, empty when no capture runs.
    std::string capturePath() const { return capture_ ? capture_->path() : std::string(); }

    board::BoardLink& link() { return link_; }

  private:
    // The read reply: how many bytes the bridge read (1 for a register that answered) and the
    // byte itself.
    struct ReadResult {
        std::uint8_t count = 0;
        std::uint8_t data = 0;
    };

    void initControls();
    void yield();
    bool automatic() const;
    // Runs body between cmdUSBConnect_Click and cmdUSBDisconnect_Click, each followed by a
    // yield, when the connection is automatic; in manual mode only the body runs.
    void withAutomaticConnection(const std::function<void()>& body);
    ReadResult readRegister(const std::string& registerText);
    // Reads the register into box and shows the result on lamp: it toggles green when the
    // register answered; otherwise box shows "--" and lamp red. Returns whether it answered.
    bool readIntoBox(const std::string& registerText, form::TextBox& box, form::Lamp& lamp);
    std::uint8_t writeRegister(std::uint8_t address, const std::string& registerText,
                               const std::string& valueText);
    bool writeValueCheck(form::TextBox& box);
    // True when row i's register and write texts are hex digits; otherwise the row shows a red
    // write lamp and the log names it and the text.
    bool writeAllRowIsHex(int index);
    void gridRowWrite(int index);
    // Writes one grid row's value and shows the result on its write lamp.
    void writeGridRow(int index, std::uint8_t address);
    void showFail();
    // The communication test's steps, in the order cmdTestComm_Click runs them.
    // Shows I2CWriteAddr and I2CReadAddr in the actual-address boxes.
    void showActualAddresses();
    // Reads register 2 of the device into txtTstReg; true when the count byte is 1.
    bool readCommTestRegister();
    // Shows both register grid frames and their buttons.
    void showRegisterGrid();
    // "Good" in green or "Fail" in red on lblCommTest.
    void showCommVerdict(bool good);
    // Sets the GPIO panel's LED boxes to the verdict and writes them; yields twice.
    void mirrorVerdictOnLeds(bool good);
    // Logs "Address value too large" and shows "--" addresses and "Fail".
    void refuseCommTestAddress();
    // The address box upper-cased; its value when the whole text is hex from 00 to FF.
    std::optional<board::I2cAddress> addressValue();
    void applyAddress(board::I2cAddress value);
    void rejectAddress();
    void padSingleCharacter();
    void placeScrolled();
    // The connection lamps, the handle lamp and box (while open) and cmdexit from UsbOpened.
    void showConnectionState();
    // As showConnectionState, with "Closed" in the handle box when the connection is closed.
    void showClosedConnection();

    board::BoardLink& link_;
    ConsoleLink& calls_;
    // The full path the save dialog proposes: the last setup file opened or saved, so that
    // "Save" after "Open" updates that file.
    std::string setupFilePath_;
    // The running capture, observing link_; none when off.
    std::unique_ptr<client::BusCapture> capture_;
};

}  // namespace console
