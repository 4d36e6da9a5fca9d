// The execution engine of the script window: the row executor with its I2C and GPIO steps,
// Run All Steps, Loop Cont and Abort.
#include <algorithm>
#include <cctype>
#include <exception>

#include "TextUtil.h"
#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "bridgeproto/Codec.h"
#include "script/OperationNames.h"
#include "script/frmScriptOps.h"

namespace script {

namespace {

using board::kCrLf;

constexpr int col(Column c) {
    return static_cast<int>(c);
}

std::int16_t tableValue(const std::vector<std::int16_t>& table, int row) {
    return row >= 0 && static_cast<std::size_t>(row) < table.size()
               ? table[static_cast<std::size_t>(row)]
               : std::int16_t{0};
}

// The reply's count byte says the board delivered every byte asked for; a reply that never came
// reads as count 0.
bool readComplete(const board::Reply& reply, int count) {
    return reply.byteAt(0) == count;
}

}  // namespace

std::vector<std::uint8_t> frmScriptOps::bytesOf(const std::string& text, int count) const {
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < count; ++k) {
        std::size_t at = static_cast<std::size_t>(2 * k);
        std::string_view pair =
            at < text.size() ? std::string_view(text).substr(at, 2) : std::string_view{};
        bytes.push_back(static_cast<std::uint8_t>(board::HexVal(pair) & 0xFF));
    }
    return bytes;
}

int frmScriptOps::lastRunnableRow(int bound) const {
    return std::min({bound, TotalLines, vbalGrid1.Rows()});
}

bool frmScriptOps::otherWindowRuns() const {
    return run_.RunningWindow != nullptr && run_.RunningWindow != this;
}

void frmScriptOps::clearAbort() {
    run_.AbortRequested = board::False;
    run_.AbortedByUser = false;
}

void frmScriptOps::vbalGrid1_DblClick(int row, int /*column*/) {
    if (otherWindowRuns()) {
        return;
    }
    executeRow(row);
}

void frmScriptOps::vbalGrid1_KeyDown(int /*keyCode*/, int /*shift*/, bool& /*doDefault*/) {
    wait(350);
}

void frmScriptOps::actOnRow(int row) {
    vbalGrid1.setSelectedRow(row);
    vbalGrid1_DblClick(row, 1);
}

void frmScriptOps::executeRow(int r) {
    run_.FailsBefore = detail::numericValue(txtRdFails.Text());
    yield();

    if (r != vbalGrid1.SelectedRow()) {
        if (RunActive) {
            return;
        }
        if (link_.usbOpened()) {
            wait(200);
            main_.cmdUSBDisconnect_Click();
            link_.setManualConnect(false);
        }
        wait(200);
        yieldTimes(1000);
        return;
    }

    bool connectedForRow = false;
    try {
        vbalGrid1.setCellBackColor(r, col(Column::I2CAdr), CellColor::Red);
        if (rowObserver_ != nullptr) {
            rowObserver_->rowStarted(r);
        }
        row_.row = r;
        row_.rowText = std::to_string(r);
        row_.lineText = vbalGrid1.CellText(r, col(Column::Line));
        row_.addr = vbalGrid1.CellText(r, col(Column::I2CAdr));
        row_.reg = vbalGrid1.CellText(r, col(Column::RegAdr));
        row_.dataWr = vbalGrid1.CellText(r, col(Column::DataWr));
        row_.dataRd = vbalGrid1.CellText(r, col(Column::DataRd));
        row_.operation = vbalGrid1.CellText(r, col(Column::Operation));
        lastRow_ = r;
        lastLineText_ = row_.lineText;

        const std::string& op = row_.operation;
        if (op == operationText(RowKind::Nop)) {
        } else if (op == operationText(RowKind::SaveFile)) {
            Auto_Script_Save();
            yield();
        } else if (op == operationText(RowKind::IntEnable)) {
            txtIEnableStep.setText(row_.lineText);
            chkISample.Value = 1;
            yield();
        } else if (op == operationText(RowKind::IntDisable)) {
            txtIDisableStep.setText(row_.lineText);
            chkISample.Value = 0;
            yield();
        } else {
            genericStep(connectedForRow);
        }
        closingStep(r, connectedForRow);
    } catch (const std::exception& e) {
        if (rowObserver_ != nullptr) {
            rowObserver_->rowEnded(r);
        }
        message(e.what());
        // The row ends here; a connection it opened for itself is not left open behind it.
        if (connectedForRow && !RunActive) {
            if (link_.usbOpened()) {
                main_.cmdUSBDisconnect_Click();
            }
            link_.setManualConnect(false);
        }
    }
}

void frmScriptOps::genericStep(bool& connectedForRow) {
    // The row and its read count are taken before the first yield: the cells this step writes
    // belong to that row whatever runs at the yields.
    const int r = row_.row;
    const std::int16_t delay = tableValue(RowDelay, r);
    if (delay == -1) {
        pauseForKeypress(r);
        return;
    }
    if (delay > 0) {
        delayRow(r, delay);
        return;
    }
    if (!takeRowAddress(r)) {
        return;
    }
    const int readCount = countRowBytes(r);
    if (!RunActive) {
        connectForRow(connectedForRow);
    }
    if (RowWriteTotal == 0 && RowReadTotal == 0) {
        return;
    }
    if (row_.addr == kGpioAddressText) {
        GPIO_SET();
        yield();
        return;
    }
    transferRow(r, readCount);
}

void frmScriptOps::pauseForKeypress(int r) {
    vbalGrid1.setCellText(r, col(Column::ActRd), "Delay Keypress");
    yield();
    form::MsgResult answer = link_.host().messageBox(
        "Script Pause Line :" + row_.rowText + " Click OK to Continue, Cancel to Abort",
        form::MsgButtons::OkCancel, board::kProgramTitle);
    if (answer == form::MsgResult::Cancel) {
        run_.AbortRequested = board::True;
        run_.AbortedByUser = true;
    }
    yield();
    wait(100);
    yield();
    wait(100);
    yield();
}

void frmScriptOps::delayRow(int r, std::int16_t delay) {
    vbalGrid1.setCellText(r, col(Column::ActRd), "Delay " + std::to_string(delay));
    yield();
    wait(delay);
}

bool frmScriptOps::takeRowAddress(int r) {
    // More than four hex digits cannot be a 16-bit address: it counts as too large.
    auto address = board::HexValChecked(row_.addr);
    if (!address || *address >= 255) {
        message("Illegal I2C address Script Row " + board::DecimalWithSign(r) +
                " Value = " + row_.addr);
        return false;
    }
    link_.setI2cAddress(static_cast<std::uint8_t>(*address));
    return true;
}

int frmScriptOps::countRowBytes(int r) {
    const int reg = tableValue(RowRegCount, r);
    const int wr = tableValue(RowWriteCount, r);
    const int rd = tableValue(RowReadCount, r);
    RowWriteTotal = static_cast<std::int16_t>(wr == 0 ? 0 : reg + wr);
    RowReadTotal = static_cast<std::int16_t>(rd == 0 ? 0 : reg + rd);
    return rd;
}

void frmScriptOps::connectForRow(bool& connectedForRow) {
    wait(100);
    if (!link_.usbOpened()) {
        main_.cmdUSBConnect_Click();
        link_.setManualConnect(true);
        connectedForRow = true;
    }
    wait(100);
    yieldTimes(1000);
}

void frmScriptOps::transferRow(int r, int readCount) {
    // The reply checks below mark only this pass's failures: a row that passes now must not
    // stay red from an earlier pass of a loop.
    vbalGrid1.setCellBackColor(r, col(Column::DataWr), CellColor::Default);
    vbalGrid1.setCellBackColor(r, col(Column::DataRd), CellColor::Default);
    if (RowWriteTotal > 0 && link_.usbOpened()) {
        Write_I2C();
    }
    vbalGrid1.setCellText(r, col(Column::ActRd), "");
    if (RowReadTotal <= 0) {
        yield();
        return;
    }
    readAndCompare(r, readCount);
}

void frmScriptOps::readAndCompare(int r, int readCount) {
    // Without an open connection nothing is sent and nothing was measured: the actual text
    // stays empty and the row fails.
    bool measured = false;
    if (link_.usbOpened()) {
        const board::Reply reply = Read_I2C();
        measured = reply.ok() && readComplete(reply, readCount);
        std::string actual;
        for (int k = 1; k <= readCount; ++k) {
            actual += board::HexByteText(reply.byteAt(static_cast<std::size_t>(k)));
        }
        vbalGrid1.appendCellText(r, col(Column::ActRd), actual);
    }
    compareAndCount(measured);
}

void frmScriptOps::compareAndCount(bool measured) {
    const int r = row_.row;
    const std::string& expected = vbalGrid1.CellText(r, col(Column::DataRd));
    const std::string& actual = vbalGrid1.CellText(r, col(Column::ActRd));
    if (r >= 0 && static_cast<std::size_t>(r) < rowMeasured_.size()) {
        rowMeasured_[static_cast<std::size_t>(r)] = measured;
    }
    const bool passed = measured && expected == actual;
    if (rowObserver_ != nullptr) {
        rowObserver_->rowCompared(r, passed, expected, actual);
    }
    if (passed) {
        countPass();
        vbalGrid1.setCellBackColor(r, col(Column::ActRd), CellColor::Green);
    } else {
        vbalGrid1.setCellBackColor(r, col(Column::ActRd), CellColor::Red);
        countFail();
        run_.FailsAfter = detail::numericValue(txtRdFails.Text());
        if (chkAOF.Value == 1 && run_.FailsAfter > run_.FailsBefore) {
            run_.AbortRequested = board::True;
        }
    }
    yield();
    yield();
}

void frmScriptOps::countPass() {
    txtRdPass.setText(detail::countText(detail::numericValue(txtRdPass.Text()) + 1));
}

void frmScriptOps::countFail() {
    txtRdFails.setText(detail::countText(detail::numericValue(txtRdFails.Text()) + 1));
}

void frmScriptOps::closingStep(int r, bool connectedForRow) {
    if (chkISample.Value == 1) {
        cmdISample_Click();
    }
    yield();
    vbalGrid1.setCellBackColor(r, col(Column::I2CAdr), CellColor::Green);
    if (rowObserver_ != nullptr) {
        rowObserver_->rowEnded(r);
    }
    yield();
    if (!RunActive) {
        if (link_.usbOpened()) {
            main_.cmdUSBDisconnect_Click();
            link_.setManualConnect(false);
            wait(100);
        } else if (connectedForRow) {
            // The connect failed: the row must not leave the program in manual mode.
            link_.setManualConnect(false);
        }
    }
    yield();
}

void frmScriptOps::Write_I2C() {
    yield();
    const int r = row_.row;
    const int reg = tableValue(RowRegCount, r);
    const int wr = tableValue(RowWriteCount, r);
    // The reply length follows WriteQty, whatever set it last.
    const int acknowledged =
        link_
            .exchange(bridgeproto::i2cWrite(static_cast<std::uint8_t>(reg + wr),
                                            link_.i2cWriteAddress(), bytesOf(row_.reg, reg),
                                            bytesOf(row_.dataWr, wr), link_.writeQty() + 1))
            .byteAt(0);
    if (acknowledged != reg + wr + 1) {
        vbalGrid1.setCellBackColor(r, col(Column::DataWr), CellColor::Red);
        link_.LogAppend("Write Qty Error Script Line " + row_.rowText +
                            " Actual= " + std::to_string(acknowledged),
                        kCrLf);
    }
}

board::Reply frmScriptOps::Read_I2C() {
    const int r = row_.row;
    const int reg = tableValue(RowRegCount, r);
    const int count = tableValue(RowReadCount, r);
    board::Reply reply = link_.exchange(bridgeproto::i2cRead(
        static_cast<std::uint8_t>(count), link_.i2cReadAddress(), bytesOf(row_.reg, reg)));
    if (!readComplete(reply, count)) {
        vbalGrid1.setCellBackColor(r, col(Column::DataRd), CellColor::Red);
        link_.LogAppend("Read Qty Error Script Line " + row_.rowText +
                            " Actual :" + std::to_string(reply.byteAt(0)),
                        kCrLf);
    }
    yield();
    return reply;
}

void frmScriptOps::GPIO_SET() {
    const int r = row_.row;
    const std::string& digits = row_.dataWr;
    auto hexByte = [&digits](std::size_t at) {
        return static_cast<std::uint8_t>(
            board::HexVal(at < digits.size() ? std::string_view(digits).substr(at, 2) : "") & 0xFF);
    };
    txtIDefault.setText(digits.substr(0, 4));
    link_.gpioState()[2] = hexByte(0);
    link_.gpioState()[3] = hexByte(2);
    const bool withEnables = digits.size() > 4;
    if (withEnables) {
        link_.gpioState()[0] = hexByte(4);
        link_.gpioState()[1] = hexByte(6);
    }

    // The panel runs either way, so a closed connection or a lost reply is logged as the
    // panel's own transfers report it. Its read-back then holds no port state: the row is not
    // measured and fails with an empty actual text.
    if (withEnables) {
        gpio_.cmdGPIO_Write_Click();
    } else {
        gpio_.cmdWrite_GPIO_Data_Click();
    }
    const bool measured = gpio_.exchangeAnswered();
    std::string actual;
    if (measured) {
        actual = gpio_.txtPCHexData(1) + gpio_.txtPCHexData(3);
        txtLastRead.setText(actual);
        if (withEnables) {
            actual += gpio_.txtPCHex(1) + gpio_.txtPCHex(3);
        }
    }
    vbalGrid1.setCellText(r, col(Column::ActRd), actual);
    compareAndCount(measured);
    link_.toggleLamp(shpISample);
}

void frmScriptOps::cmdExecAll_Click() {
    if (otherWindowRuns() || closed_) {
        return;
    }
    const void* const runningBefore = run_.RunningWindow;
    run_.RunningWindow = this;
    clearAbort();
    cmdRunContinuous.Visible = false;
    cmdExecAll.Visible = false;
    cmdAbort.Visible = true;

    main_.cmdUSBConnect_Click();
    link_.setManualConnect(true);
    RunActive = true;
    yield();
    link_.setActiveWindow(this);

    // Loop Cont counts over all its passes.
    if (!looping_) {
        txtRdFails.setText("0");
        txtRdPass.setText("0");
        txttotReads.setText(std::to_string(ReadOpCount));
    }
    txtTotLines.setText(std::to_string(EndMainRow));

    const int last = lastRunnableRow(EndMainRow - 1);
    for (run_.CurrentRow = 1; run_.CurrentRow <= last; ++run_.CurrentRow) {
        const int row = run_.CurrentRow;
        vbalGrid1.setSelectedRow(row);
        // "Step" names the row while it runs.
        txtRunning.setText(std::to_string(row));
        vbalGrid1_DblClick(row, 1);
        yield();
        txtRunning.setText(std::to_string(run_.CurrentRow));
        yield();
        if (run_.AbortRequested != board::False || closed_) {
            break;
        }
    }

    cmdAbort.Visible = false;
    txtRunning.setText(run_.AbortedByUser ? "Aborted" : "Done");
    main_.cmdUSBDisconnect_Click();
    link_.setManualConnect(false);
    yield();
    frmDataRecord.Visible = true;
    cmdExecAll.Visible = true;
    cmdRunContinuous.Visible = true;
    RunActive = false;
    run_.RunningWindow = runningBefore;
}

void frmScriptOps::cmdRunContinuous_Click() {
    if (otherWindowRuns()) {
        return;
    }
    run_.RunningWindow = this;
    txtLoopCount.setText("0");
    txtRdFails.setText("0");
    txtRdPass.setText("0");
    long passes = 0;
    clearAbort();
    looping_ = true;
    // A window closed between passes starts no further pass.
    while (run_.AbortRequested == board::False && !closed_) {
        cmdRunContinuous.Visible = false;
        txttotReads.setText(detail::countText(static_cast<double>(ReadOpCount) * (passes + 1)));
        cmdExecAll_Click();
        ++passes;
        txtLoopCount.setText(std::to_string(passes));
        yield();
        yield();
    }
    looping_ = false;
    cmdAbort.Visible = false;
    cmdRunContinuous.Visible = true;
    run_.RunningWindow = nullptr;
}

void frmScriptOps::cmdAbort_Click() {
    run_.AbortRequested = board::True;
    run_.AbortedByUser = true;
    yield();
}

}  // namespace script
