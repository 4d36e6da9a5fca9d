#include "about/frmAbout2.h"

#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "board/Version.h"

namespace about {

namespace {

// The application comments text, shown as the description: there is none.
constexpr const char* kComments = "";

form::ControlGeometry at(int left, int top, int width, int height,
                         unsigned style = form::StyleNone) {
    return {"", -1, left, top, width, height, style};
}

}  // namespace

frmAbout2::frmAbout2(board::BoardLink& link, SystemInfoPlatform& platform)
    : link_(link), platform_(platform) {
    initControls();
}

void frmAbout2::initControls() {
    Caption = "About";
    picCastrelLogo = {};
    lblTitle = {};
    lblTitle.Caption = "Application Title";
    lblVersion = {};
    lblVersion.Caption = "Version";
    lblDescription = {};
    lblDescription.Caption = "App Description";
    Line1 = {};
    lblDisclaimer = {};
    lblDisclaimer[0].Caption = kHeading;
    lblDisclaimer[1].Caption = kDisclaimer;
    cmdOK = {};
    cmdOK.Caption = "OK";
    cmdSysInfo = {};
    cmdSysInfo.Caption = "&System Info...";
    cmdSysInfo.Visible = false;
}

form::ControlTable frmAbout2::controls() {
    using form::Role;
    form::ControlTable t;
    t.push_back(entry(FORM_CONTROL(picCastrelLogo), at(240, 240, 720, 720)));
    t.push_back(entry(FORM_CONTROL(lblTitle), at(1200, 240, 5760, 420, form::StyleBold)));
    t.push_back(entry(FORM_CONTROL(lblVersion), at(1200, 720, 5760, 255)));
    t.push_back(entry(FORM_CONTROL(lblDescription), at(1200, 1050, 5760, 600)));
    t.push_back(entry(FORM_CONTROL(Line1), 0, at(120, 1770, 6960, 30)));
    t.push_back(entry(FORM_CONTROL(lblDisclaimer), 0, at(240, 1920, 6720, 255, form::StyleBold)));
    t.push_back(entry(FORM_CONTROL(lblDisclaimer), 1, at(240, 2220, 6720, 1800)));
    // Neither button moves data, so both stay usable while an operation runs.
    t.push_back(entry(FORM_CONTROL(cmdOK), at(5520, 4320, 1440, 375), Role::Live,
                      {.click = [this] { cmdOK_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdSysInfo), at(3840, 4320, 1500, 375), Role::Live,
                      {.click = [this] { cmdSysInfo_Click(); }}));
    return t;
}

void frmAbout2::Form_Load() {
    const std::string title = board::kProgramTitle;
    Caption = "About " + title;
    lblVersion.Caption = "Version " + std::to_string(velmorix::kVersionMajor) + "." +
                         std::to_string(velmorix::kVersionMinor) + "." +
                         std::to_string(velmorix::kVersionRevision);
    lblDescription.Caption = kComments;
    lblTitle.Caption = title;
    Loaded = true;
}

void frmAbout2::Form_Unload() {
    initControls();
    Loaded = false;
    Visible = false;
}

void frmAbout2::cmdOK_Click() {
    Form_Unload();
}

void frmAbout2::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout2::StartSysInfo() {
    std::string path;
    bool found = GetKeyValue(SystemInfoPlatform::kLocalMachine, kSysInfoKey, kSysInfoValue, path);
    if (!found && GetKeyValue(SystemInfoPlatform::kLocalMachine, kSysInfoFolderKey,
                              kSysInfoFolderValue, path)) {
        path += kSysInfoProgram;
        found = platform_.fileExists(path);
    }
    // The full path from the first key is started as it stands: if it names no program, the
    // start fails and the log says so.
    if (found && platform_.startProgram(path)) {
        return;
    }
    link_.LogAppend(kSysInfoUnavailable, board::kCrLf);
}

bool frmAbout2::GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName,
                            const std::string& SubKeyRef, std::string& KeyVal) {
    std::uint32_t key = 0;
    if (!platform_.openKey(KeyRoot, KeyName, kKeyAccess, key)) {
        KeyVal.clear();
        return false;
    }
    std::string data;
    std::uint32_t type = 0;
    const bool read = platform_.queryValue(key, SubKeyRef, kValueCapacity, data, type);
    platform_.closeKey(key);
    if (!read) {
        KeyVal.clear();
        return false;
    }
    if (data.size() > kValueCapacity) {
        data.resize(kValueCapacity);
    }
    if (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    if (type == SystemInfoPlatform::kStringValue) {
        KeyVal = data;
    } else if (type == SystemInfoPlatform::kNumberValue) {
        // The number's bytes come low byte first. Written as one number: hex digits of each
        // byte without its leading zero would make different numbers read the same (0x111 and
        // 0x1101 would both give "00111").
        std::uint32_t value = 0;
        for (std::size_t i = data.size() < 4 ? data.size() : 4; i > 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(data[i - 1]);
        }
        KeyVal = "&h" + board::HexText(value);
    }
    return true;
}

}  // namespace about
