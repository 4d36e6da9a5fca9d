// The register console's setup files: "File" > "Open" > "Comm Register Definitions" and
// "File" > "Save".
#include <cstdint>

#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "console/SetupFile.h"
#include "console/frmI2C_General.h"

namespace console {

namespace {

// Both dialogs offer every file and, selected, the setup files.
form::FileDialogRequest setupDialogRequest() {
    form::FileDialogRequest request;
    request.filters = {"All Files (*.*)", "I2C_General Setup Files(*.kvx)"};
    request.filterIndex = 1;
    return request;
}

// A setup file that could not be read or written: the user asked for it, so they are told at
// once as well as in the log.
void reportFailure(board::BoardLink& link, const std::string& text) {
    link.LogNote(text);
    link.host().messageBox(text, form::MsgButtons::Ok, board::kProgramTitle);
}

}  // namespace

void frmI2C_General::mnuSetup_Open_Click() {
    form::FileDialogRequest request = setupDialogRequest();
    request.title = "Select Setup File to Open";
    request.defaultExt = "KVX";
    const form::FileDialogResult chosen = link_.host().openFileDialog(request);
    if (chosen.cancelled || chosen.path.empty()) {
        return;
    }
    Read_Param_File(chosen.path, chosen.title);
}

bool frmI2C_General::Read_Param_File(const std::string& path, const std::string& fileTitle) {
    SetupFile file;
    const SetupFile::ReadResult result = file.read(path);
    if (!result.ok) {
        reportFailure(link_, result.errorText);
        return false;
    }
    Caption = fileTitle + kSetupCaptionSuffix;
    setupFilePath_ = path;

    txtI2CAdr.setText(board::upperAscii(file.address));
    link_.setI2cAddress(address().write());
    showActualAddresses();

    for (int i = 0; i < kRows; ++i) {
        const SetupFile::Row& row = file.rows[i];
        Reg_Adr[i].setText(row.registerAddress);
        Reg_Desc[i].setText(row.description);
        txtBWrite[i].setText(row.writeByte);
        txtRdByte[i].setText(row.readByte);
    }
    return true;
}

void frmI2C_General::mnuSetup_Save_Click() {
    form::FileDialogRequest request = setupDialogRequest();
    request.fileName = setupFilePath_;
    const form::FileDialogResult chosen = link_.host().saveFileDialog(request);
    if (chosen.cancelled || chosen.path.empty()) {
        return;
    }
    if (!WriteParameters(chosen.path, *this)) {
        return;
    }
    Caption = chosen.title + kSetupCaptionSuffix;
    setupFilePath_ = chosen.path;
}

bool frmI2C_General::WriteParameters(const std::string& strParamFile, form::Window& /*FrmIn*/) {
    SetupFile file;
    file.address = txtI2CAdr.Text();
    for (int i = 0; i < kRows; ++i) {
        yield();
        file.rows[i] = {Reg_Adr[i].Text(), Reg_Desc[i].Text(), txtBWrite[i].Text(),
                        txtRdByte[i].Text()};
    }
    for (const std::string& box : file.unkeepableTexts()) {
        link_.LogNote("Setup file " + strParamFile + ": " + box +
                      " holds a double quote and will not read back intact: it is saved with "
                      "single quotes in its place");
    }
    const SetupFile::WriteResult result = file.write(strParamFile);
    if (!result.ok) {
        reportFailure(link_, result.errorText);
        return false;
    }
    if (result.savedAsUtf8) {
        link_.LogNote("Setup file " + strParamFile +
                      " is saved as UTF-8: its texts do not all fit the Windows-1252 code page "
                      "of the original platform, which will show some characters differently");
    }
    return true;
}

}  // namespace console
