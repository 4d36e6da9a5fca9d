// Recording of the script window: measured read data into the script lines, and the stamped
// script written to disk by hand or by a "Cmd: Save File" row.
#include "TextUtil.h"
#include "script/ScriptRecorder.h"
#include "script/frmScriptOps.h"

namespace script {

void frmScriptOps::cmdStartRec_Click() {
    std::vector<RecordedRow> rows;
    rows.reserve(static_cast<std::size_t>(vbalGrid1.Rows()));
    for (int row = 1; row <= vbalGrid1.Rows(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        rows.push_back({vbalGrid1.CellText(row, static_cast<int>(Column::Operation)),
                        vbalGrid1.CellText(row, static_cast<int>(Column::ActRd)),
                        at < rowMeasured_.size() && rowMeasured_[at]});
    }
    ScriptWriteRequest request;
    request.path = txtFilePath.Text();
    request.append = chkAppend.Value == 1;
    request.loopCountText = txtLoopCount.Text();
    request.now = link_.host().now();
    ScriptWriteResult result = recordAndWrite(ScriptLines, rows, request);
    if (result.ok) {
        Label18.Caption = result.label18Text;
    } else {
        message(result.errorText);
    }
}

void frmScriptOps::cmdBrowse_Click() {
    form::FileDialogResult choice =
        link_.host().saveFileDialog(browseDialogRequest(cdldialog.FileName));
    if (choice.cancelled || choice.path.empty()) {
        return;
    }
    CommonDialog2.FileName = choice.path;
    CommonDialog2.FileTitle = choice.title;
    txtFilePath.setText(choice.path);
}

void frmScriptOps::Auto_Script_Save() {
    txtFilePath.setText(saveFileNameFor(cdldialog.FileName));
    chkAppend.Value = 1;
    cmdStartRec_Click();
}

}  // namespace script
