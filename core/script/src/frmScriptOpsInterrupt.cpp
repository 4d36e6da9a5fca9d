// Interrupt sampling of the script window: one sample of the GPIO ports after a row, detection
// against the idle value, and the service section run nested in the detecting row.
#include <algorithm>

#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "script/frmScriptOps.h"

namespace script {

void frmScriptOps::cmdISample_Click() {
    // In manual mode the panel does not connect by itself: with the connection closed its
    // read-back would be zeros, which must not pass for an interrupt.
    if (!link_.usbOpened() && link_.manualConnect()) {
        link_.LogAppend("Interrupt Sample .. USB Not opened", board::kCrLf);
        yield();
        return;
    }
    gpio_.cmdWrite_GPIO_Data_Click();
    txtLastRead.setText(gpio_.txtPCHexData(1) + gpio_.txtPCHexData(3));
    link_.toggleLamp(shpISample);
    // A sample that got no reply says nothing about the ports: it is no interrupt.
    if (!gpio_.exchangeAnswered() || txtLastRead.Text() == txtIDefault.Text()) {
        yield();
        return;
    }

    chkISample.Value = 0;
    txtIdetectStep.setText(lastLineText_);
    if (run_.IntServiceActive) {
        link_.LogAppend("Interrupt detected at Script Line " + lastLineText_ +
                            " not serviced: the interrupt service is already running",
                        board::kCrLf);
        yield();
        return;
    }
    IntReturnRow = static_cast<std::int16_t>(lastRow_);
    serviceInterrupt();
    yield();
}

void frmScriptOps::serviceInterrupt() {
    if (IntStartRow == 0 || IntEndRow <= IntStartRow) {
        return;
    }
    const std::int16_t returnRow = IntReturnRow;
    const int last = lastRunnableRow(IntEndRow);
    run_.IntServiceActive = true;
    for (run_.IntServiceRow = IntStartRow; run_.IntServiceRow <= last; ++run_.IntServiceRow) {
        const int row = run_.IntServiceRow;
        vbalGrid1.setSelectedRow(row);
        txtRunning.setText(std::to_string(row));
        vbalGrid1_DblClick(row, 1);
        txtIexec.setText(board::DecimalWithSign(row));
        yield();
        txtRunning.setText(std::to_string(row));
        yield();
        if (run_.AbortRequested != board::False) {
            break;
        }
    }
    run_.IntServiceActive = false;
    IntReturnRow = returnRow;
    run_.CurrentRow = returnRow;
}

void frmScriptOps::chkISample_MouseUp() {
    if (chkISample.Value == 1) {
        txtIEnableStep.setText("On");
        txtIDisableStep.setText("");
    } else {
        txtIEnableStep.setText("Off");
        txtIDisableStep.setText("On");
    }
    yield();
    yield();
}

}  // namespace script
