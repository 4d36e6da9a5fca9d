// The About box as a model without any toolkit: the program's title, its version and a
// disclaimer, and the hidden "System Info" button that starts the platform's system-information
// tool. Controls are public members named as the controls, handlers member functions named as
// the handlers. The application keeps one instance, loads it on first use and afresh after OK
// or the close box unloaded it.
//
// Layout for the view (twips, 15 to a pixel): kClientWidth x kClientHeight is the client area;
// controls() lists every control with its rectangle in the window. Line1(0) is drawn as one
// etched (sunken) line, which is the white and the grey line together, so Line1(1) has no entry.
// cmdOK is both the default and the cancel button: a view presses it on Enter and on Esc.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "about/SystemInfoPlatform.h"
#include "board/BoardLink.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/Window.h"

namespace about {

class frmAbout2 : public form::Window {
  public:
    static constexpr int kClientWidth = 7200;
    static constexpr int kClientHeight = 4950;
    static constexpr const char* kHeading = "ACCURACY OF INFORMATION";
    static constexpr const char* kDisclaimer =
        "Every effort has been made to make sure that the information presented here is "
        "accurate. Velmorix nevertheless takes no responsibility for the accuracy of this "
        "information. Product information is subject to change without notice. Any such changes "
        "are taken into new editions of these publications. Velmorix may at any time, and "
        "without notice, make improvements or changes to the products and the programs that "
        "this information describes";
    static constexpr const char* kSysInfoUnavailable =
        "System Information Is Unavailable At This Time";
    // Where Windows records the system-information tool: the full path, or else its folder.
    static constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr const char* kSysInfoValue = "PATH";
    static constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
    static constexpr const char* kSysInfoFolderValue = "MSINFO";
    static constexpr const char* kSysInfoProgram = "\\MSINFO32.EXE";
    static constexpr std::uint32_t kKeyAccess = 0x2003F;
    static constexpr std::size_t kValueCapacity = 1024;

    // Sets every control to its design state; the box is not loaded yet. Keeps both references:
    // the log of the board link, the registry and program start of the platform.
    frmAbout2(board::BoardLink& link, SystemInfoPlatform& platform);

    // Every control that is ever seen, with its design place and the handlers its events run;
    // refers to this window's members.
    form::ControlTable controls();

    form::Picture picCastrelLogo;
    form::Label lblTitle;
    form::Label lblVersion;
    form::Label lblDescription;
    std::array<form::Picture, 2> Line1;  // one etched separator
    // 0 the heading, 1 the disclaimer paragraph.
    std::array<form::Label, 2> lblDisclaimer;
    form::Button cmdOK;
    form::Button cmdSysInfo;  // never visible

    // Fills the caption, title, version ("Version 3.1.6") and the (empty) description.
    void Form_Load();
    // Closing (OK or the close box): the controls return to their design state and the box
    // counts as unloaded, so its next use loads it afresh.
    void Form_Unload();
    // Unloads the box.
    void cmdOK_Click();
    // Runs StartSysInfo.
    void cmdSysInfo_Click();

    // Starts the system-information tool from the path the registry gives (its full path, or
    // its folder when the program file exists there); when there is none, or it does not start,
    // appends "System Information Is Unavailable At This Time" to the log instead.
    void StartSysInfo();
    // Reads value SubKeyRef of key KeyName under KeyRoot into KeyVal: a text as stored (without
    // its closing zero), a 32-bit number as "&h" and its upper-case hex digits; a value of
    // another type leaves KeyVal as it was. False, with KeyVal empty, when the key or the value
    // cannot be read. The key is always closed again.
    bool GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

  private:
    void initControls();

    board::BoardLink& link_;
    SystemInfoPlatform& platform_;
};

}  // namespace about
