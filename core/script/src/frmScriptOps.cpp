#include "script/frmScriptOps.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "board/HexText.h"
#include "board/I2cAddress.h"
#include "board/TextHelpers.h"
#include "script/ScriptLoader.h"

namespace script {

using board::kCrLf;

frmScriptOps::frmScriptOps(board::BoardLink& link, ScriptRunState& runState,
                           ScriptMainWindowLink& mainWindow, ScriptGpioLink& gpio,
                           std::function<void()> openAnotherWindow)
    : link_(link),
      run_(runState),
      main_(mainWindow),
      gpio_(gpio),
      openAnotherWindow_(std::move(openAnotherWindow)) {
    initControls();
    form::startMenuCaptions(menus());
}

form::ControlTable frmScriptOps::controls() {
    using form::Role;
    using form::StyleCentred;
    using form::StyleCircle;
    using form::StyleRightAlign;
    using form::StyleTitleBand;
    auto at = [](std::string_view container, int left, int top, int width, int height,
                 unsigned style = form::StyleNone) {
        return form::ControlGeometry{container, -1, left, top, width, height, style};
    };
    // A heading label whose words stand over the given boxes.
    auto headings = [](form::ControlEntry e, std::vector<const form::Control*> columns) {
        e.columns = std::move(columns);
        return e;
    };
    const std::string_view window;
    const std::string_view band = FORM_NAME(picTitle);
    const std::string_view exec = FORM_NAME(frmScriptExec);
    const std::string_view interrupt = FORM_NAME(frameInterrupt);
    const std::string_view steps = FORM_NAME(frameIsteps);
    const std::string_view record = FORM_NAME(frmDataRecord);
    form::ControlTable t;
    // The title band and the window's default address.
    t.push_back(entry(FORM_CONTROL(picTitle), at(window, 105, 90, 12300, 480, StyleTitleBand)));
    t.push_back(entry(FORM_CONTROL(lblTitle), at(band, 15, 15, 12270, 450, StyleTitleBand)));
    t.push_back(entry(FORM_CONTROL(lblI2CAdr), at(window, 12600, 180, 1500, 285, StyleRightAlign)));
    t.push_back(entry(FORM_CONTROL(txtI2CAdr), at(window, 14190, 180, 765, 285, StyleCentred),
                      Role::Data, {.keyPress = [this](int& key) { txtI2CAdr_KeyPress(key); }}));

    // "Script Control".
    t.push_back(entry(FORM_CONTROL(frmScriptExec), at(window, 105, 690, 4950, 3060)));
    t.push_back(entry(FORM_CONTROL(cmdExecAll), at(exec, 150, 360, 1290, 375), Role::Data,
                      {.click = [this] { cmdExecAll_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdRunContinuous), at(exec, 1530, 360, 1050, 375), Role::Data,
                      {.click = [this] { cmdRunContinuous_Click(); }}));
    // "Abort" moves no data and must reach a run that holds the gate.
    t.push_back(entry(FORM_CONTROL(cmdAbort), at(exec, 2670, 360, 960, 375), Role::Live,
                      {.click = [this] { cmdAbort_Click(); }}));
    t.push_back(entry(FORM_CONTROL(cmdReload2), at(exec, 3720, 360, 1080, 375), Role::Data,
                      {.click = [this] { cmdReload2_Click(); }}));
    // "Abort On fail" and "Enable" move no data and a run reads them at every row: they stay
    // live while a run holds the gate.
    t.push_back(entry(FORM_CONTROL(chkAOF), at(exec, 150, 960, 1800, 285), Role::Live));
    t.push_back(entry(FORM_CONTROL(lblLoopCount), at(exec, 2400, 960, 1260, 285, StyleRightAlign)));
    t.push_back(entry(FORM_CONTROL(txtLoopCount), at(exec, 3750, 960, 1050, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(lblLastLoad), at(exec, 150, 1530, 900, 285)));
    t.push_back(entry(FORM_CONTROL(txtScriptLine1), at(exec, 1080, 1530, 1440, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(lblStep), at(exec, 2640, 1530, 450, 285, StyleRightAlign)));
    t.push_back(entry(FORM_CONTROL(txtRunning), at(exec, 3150, 1530, 690, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(lblOf), at(exec, 3840, 1530, 300, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtTotLines), at(exec, 4140, 1530, 660, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(lblReadOps), at(exec, 150, 2400, 1440, 285)));
    t.push_back(entry(FORM_CONTROL(txttotReads), at(exec, 1650, 2400, 960, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtRdPass), at(exec, 2745, 2400, 960, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtRdFails), at(exec, 3840, 2400, 960, 285, StyleCentred)));
    t.push_back(headings(entry(FORM_CONTROL(lblReadCounts), at(exec, 1590, 2100, 3270, 255)),
                         {&txttotReads, &txtRdPass, &txtRdFails}));

    // "Interrupt Status" and "Interrupt Service Steps".
    t.push_back(entry(FORM_CONTROL(frameInterrupt), at(window, 5145, 690, 5220, 1800)));
    t.push_back(entry(FORM_CONTROL(txtIDefault), at(interrupt, 150, 660, 870, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtLastRead), at(interrupt, 1140, 660, 870, 285, StyleCentred)));
    t.push_back(
        entry(FORM_CONTROL(txtIEnableStep), at(interrupt, 2130, 660, 870, 285, StyleCentred)));
    t.push_back(
        entry(FORM_CONTROL(txtIDisableStep), at(interrupt, 3120, 660, 870, 285, StyleCentred)));
    t.push_back(
        entry(FORM_CONTROL(txtIdetectStep), at(interrupt, 4110, 660, 870, 285, StyleCentred)));
    t.push_back(
        headings(entry(FORM_CONTROL(lblInterrupt), at(interrupt, 90, 360, 5040, 255)),
                 {&txtIDefault, &txtLastRead, &txtIEnableStep, &txtIDisableStep, &txtIdetectStep}));
    t.push_back(entry(FORM_CONTROL(chkISample), at(interrupt, 150, 1230, 1140, 285), Role::Live,
                      {.click = [this] { chkISample_MouseUp(); }}));
    t.push_back(entry(FORM_CONTROL(shpISample), at(interrupt, 1440, 1260, 225, 225, StyleCircle)));
    t.push_back(entry(FORM_CONTROL(cmdISample), at(interrupt, 2130, 1185, 1140, 375), Role::Data,
                      {.click = [this] { cmdISample_Click(); }}));
    t.push_back(entry(FORM_CONTROL(frameIsteps), at(window, 5145, 2580, 5220, 1170)));
    t.push_back(entry(FORM_CONTROL(txtIstart), at(steps, 150, 660, 870, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtIend), at(steps, 1140, 660, 870, 285, StyleCentred)));
    t.push_back(entry(FORM_CONTROL(txtIexec), at(steps, 2130, 660, 870, 285, StyleCentred)));
    t.push_back(headings(entry(FORM_CONTROL(lblIsteps), at(steps, 90, 360, 3060, 255)),
                         {&txtIstart, &txtIend, &txtIexec}));

    // Recording.
    t.push_back(entry(FORM_CONTROL(frmDataRecord), at(window, 10455, 690, 4500, 3060)));
    t.push_back(entry(FORM_CONTROL(txtFilePath), at(record, 150, 390, 4200, 285)));
    t.push_back(entry(FORM_CONTROL(cmdBrowse), at(record, 150, 840, 1080, 375), Role::Data,
                      {.click = [this] { cmdBrowse_Click(); }}));
    t.push_back(entry(FORM_CONTROL(chkAppend), at(record, 1440, 885, 1200, 285)));
    t.push_back(entry(FORM_CONTROL(cmdStartRec), at(record, 2850, 840, 1500, 375), Role::Data,
                      {.click = [this] { cmdStartRec_Click(); }}));
    t.push_back(entry(FORM_CONTROL(Label18), at(record, 150, 1380, 4200, 660)));
    return t;
}

void frmScriptOps::initControls() {
    Caption = kDesignCaption;
    lblTitle.Caption = "IC - Script Load / Execute";
    lblI2CAdr.Caption = "Default I2C Adr";
    txtI2CAdr.setText("60");

    frmScriptExec.Caption = "Script Control";
    cmdExecAll.Caption = "Run All Steps";
    cmdAbort.Caption = "Abort";
    cmdAbort.Visible = false;
    cmdRunContinuous.Caption = "Loop Cont";
    cmdReload2.Caption = "Reload";
    cmdReload2.Visible = false;
    chkAOF.Caption = "Abort On fail";
    lblLoopCount.Caption = "Loop Count";
    txtLoopCount.setText("0");
    lblLastLoad.Caption = "Last Load";
    lblReadOps.Caption = "Read Operations";
    lblReadCounts.Caption = "Total       Pass        Fail";
    txttotReads.setText("0");
    txtRdPass.setText("0");
    txtRdFails.setText("0");
    lblStep.Caption = "Step";
    lblOf.Caption = "of";

    frameInterrupt.Caption = "Interrupt Status";
    chkISample.Caption = "Enable";
    chkISample.ToolTipText = "Manual Enable / Disable of Interrupt Sampling";
    lblInterrupt.Caption = "Expect   LastRead    Enable          Disable       Detect Step";
    txtIDefault.setText("0000");
    txtIDefault.ToolTipText = "Non Interupt Active Value of GPIO Ports";
    txtLastRead.setText("0000");
    txtLastRead.ToolTipText = "Last Sampled value of GPIO Ports";
    for (form::TextBox* box :
         {&txtIEnableStep, &txtIDisableStep, &txtIdetectStep, &txtIstart, &txtIend, &txtIexec}) {
        box->setText("----");
    }
    shpISample.FillColor = link_.colorBlack();
    shpISample.ToolTipText =
        "Sample Led will change color each time Interrupt is sampled during script execution";
    cmdISample.Caption = "Sample";
    cmdISample.ToolTipText = "Click here to Sample GPIO bits.";
    frameIsteps.Caption = "Interrupt Service Steps";
    lblIsteps.Caption = "     Start                  End               Executing";

    // The double ampersand shows as one: a single one would mark a mnemonic.
    frmDataRecord.Caption = "Update Expected Read Data && Save Script to File";
    frmDataRecord.Visible = false;
    txtFilePath.ToolTipText = "Contains Path + File name where measurement data will be written.";
    cmdBrowse.Caption = "Browse";
    cmdBrowse.ToolTipText = "Use this to select file where measurement data will be written.";
    chkAppend.Caption = "Append";
    chkAppend.ToolTipText =
        "If check, data is appended to end of Measurement file, if uncheck file is overwritten "
        "with present data only.";
    cmdStartRec.Caption = "Write to Disk";
    cmdStartRec.ToolTipText = "Click here to save measurement to disk file.";
}

void frmScriptOps::yield() {
    link_.host().doEvents();
}

void frmScriptOps::yieldTimes(int count) {
    for (int i = 0; i < count; ++i) {
        yield();
    }
}

void frmScriptOps::wait(int ms) {
    // Short slices with a yield after each keep the window responsive during long delays.
    constexpr int kSliceMs = 10;
    // A closed window waits no longer: its row ends at once.
    while (ms > 0 && !closed_) {
        int slice = std::min(ms, kSliceMs);
        link_.host().sleepMs(slice);
        yield();
        ms -= slice;
    }
}

void frmScriptOps::message(const std::string& text) {
    link_.host().messageBox(text, form::MsgButtons::Ok, board::kProgramTitle);
}

// ---- Window -------------------------------------------------------------------------------------

void frmScriptOps::setupGrid() {
    static constexpr int kWidths[kColumnCount] = {
        64, 64, 64, kWideDataColumn, kWideDataColumn, kWideDataColumn, 124, 298};
    vbalGrid1.Redraw = false;
    while (vbalGrid1.Columns() < kColumnCount) {
        vbalGrid1.addColumn(std::to_string(vbalGrid1.Columns() + 1));
    }
    vbalGrid1.setRows(0);
    vbalGrid1.setRows(kDesignRows);
    for (int row = 1; row <= kDesignRows; ++row) {
        vbalGrid1.setRowValue(row, 15);
    }
    for (int column = 1; column <= kColumnCount; ++column) {
        vbalGrid1.setColumnHeader(column, kColumnHeaders[static_cast<std::size_t>(column - 1)]);
        vbalGrid1.setColumnWidth(column, kWidths[column - 1]);
        vbalGrid1.setColumnCode(column, column == kColumnCount ? 0 : 2);
    }
    yield();
    vbalGrid1.Redraw = true;
}

void frmScriptOps::Form_Load() {
    try {
        Loaded = true;
        closed_ = false;
        TotalLines = 0;
        frmScriptExec.Visible = false;
        Caption = kNoScriptCaption;
        link_.setActiveWindow(this);
        RunActive = false;

        const board::I2cAddress address = main_.consoleAddress();
        txtI2CAdr.setText(address.text());
        yield();
        link_.setI2cAddress(address.write());
        defaultAddr_ = link_.i2cWriteAddress();

        txtRunning.setText("1");
        setupGrid();
        ReadScriptFile();
        yield();
    } catch (const std::exception& e) {
        message(std::string("Script Load Error ") + e.what());
    }
}

void frmScriptOps::Form_Resize(int windowWidth, int windowHeight, bool minimised) {
    if (minimised) {
        return;
    }
    vbalGrid1.Visible = false;
    yield();
    vbalGrid1.Left = 100;
    vbalGrid1.Width = windowWidth - 400;
    if (windowHeight > 4000) {
        vbalGrid1.Height = windowHeight - 4400;
    }
    vbalGrid1.Visible = true;
    yield();
}

void frmScriptOps::Form_GotFocus() {
    link_.setActiveWindow(this);
}

void frmScriptOps::Form_Terminate() {
    Loaded = false;
    Visible = false;
    closed_ = true;
    // A closed window stops its run at once, as "Abort" does; another window's run goes on.
    if (run_.RunningWindow == this) {
        run_.AbortRequested = board::True;
        run_.AbortedByUser = true;
    }
    if (link_.activeWindow() == this) {
        link_.setActiveWindow(nullptr);
    }
}

form::MenuTable frmScriptOps::menus() {
    using form::command;
    using form::Role;
    return {form::menu(FORM_CONTROL(Script_File_Ops), "File",
                       {command(FORM_CONTROL(mnuScript_Read), "Open Script File", Role::Data,
                                [this] { mnuScript_Read_Click(); }),
                        command(FORM_CONTROL(Dupform), "Open Another Script Processing Form",
                                Role::Data, [this] { Dupform_Click(); })})};
}

void frmScriptOps::Dupform_Click() {
    yield();
    if (openAnotherWindow_) {
        openAnotherWindow_();
    }
}

void frmScriptOps::mnuScript_Read_Click() {
    ReadScriptFile();
}

void frmScriptOps::txtI2CAdr_KeyPress(int& key) {
    // Control characters are editing keys (Ctrl+A, Ctrl+C, Ctrl+V, Delete), not typed text.
    constexpr int kFirstTyped = 32;
    constexpr int kDelete = 127;
    if (key != 13 && (key < kFirstTyped || key == kDelete)) {
        return;
    }
    if (key != 13) {
        key = board::HexKeyFilter(key);
        return;
    }
    key = 0;
    txtI2CAdr.setText(board::upperAscii(txtI2CAdr.Text()));
    yield();
    if (const auto address = board::I2cAddress::withReadAddress(txtI2CAdr.Text())) {
        link_.setI2cAddress(address->write());
        defaultAddr_ = link_.i2cWriteAddress();
        cmdReload2_Click();
    } else {
        link_.LogAppend("Address value too large script default I2C address Invalid", kCrLf);
        txtI2CAdr.setText("60");
    }
    yield();
}

// ---- Loading ------------------------------------------------------------------------------------

bool frmScriptOps::ReadScriptFile() {
    txtRunning.setText("");
    form::FileDialogResult choice = link_.host().openFileDialog(openScriptDialogRequest());
    if (choice.cancelled || choice.path.empty()) {
        return false;
    }
    FileChoice file{choice.path,
                    choice.title.empty() ? board::fileTitle(choice.path) : choice.title};
    return chooseAndLoad(file);
}

void frmScriptOps::LoadScriptFile() {
    loadFile(cdldialog);
}

bool frmScriptOps::openScript(const std::string& path) {
    return chooseAndLoad(FileChoice{path, board::fileTitle(path)});
}

bool frmScriptOps::chooseAndLoad(const FileChoice& file) {
    // Reload, Browse and a "Save File" row all work on the chosen file: a refused file must not
    // become it, or a run would write the loaded script's lines under the refused file's name.
    if (!loadFile(file)) {
        return false;
    }
    cdldialog = file;
    ScriptChosen = true;
    cmdReload2.Visible = true;
    return true;
}

bool frmScriptOps::loadFile(const FileChoice& file) {
    std::string before = Caption;
    Caption = "[ " + file.FileTitle + " ]    Loading Script File .. Please Wait";
    LoadOptions options;
    options.defaultWriteAddr = defaultWriteAddress();
    options.fileTitle = file.FileTitle;
    options.loadTime = link_.host().now();
    ScriptLoadResult result = loadScriptFile(file.FileName, options);
    if (!result.ok) {
        Caption = before;
        message(result.errorText);
        return false;
    }
    applyScript(std::move(result.script));
    return true;
}

void frmScriptOps::applyScript(ParsedScript&& parsed) {
    for (form::TextBox* box :
         {&txtLastRead, &txtIEnableStep, &txtIDisableStep, &txtIdetectStep, &txtIexec}) {
        box->setText("----");
    }
    txtIstart.setText(parsed.txtIstartText);
    txtIend.setText(parsed.txtIendText);
    frmDataRecord.Visible = false;

    EndMainRow = static_cast<std::int16_t>(parsed.EndMainRow);
    IntStartRow = static_cast<std::int16_t>(parsed.IntStartRow);
    IntEndRow = static_cast<std::int16_t>(parsed.IntEndRow);
    IntReturnRow = 0;

    txttotReads.setText(parsed.txttotReadsText);
    txtRdPass.setText("0");
    txtRdFails.setText("0");
    txtScriptLine1.setText(parsed.txtScriptLine1Text);

    std::size_t count = parsed.rows.size();
    RowRegCount.assign(count + 1, 0);
    RowWriteCount.assign(count + 1, 0);
    RowReadCount.assign(count + 1, 0);
    RowDelay.assign(count + 1, 0);
    rowMeasured_.assign(count + 1, false);
    std::vector<ScriptGrid::RowCells> cells;
    cells.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        ScriptRow& row = parsed.rows[i];
        RowRegCount[i + 1] = row.RowRegCount;
        RowWriteCount[i + 1] = row.RowWriteCount;
        RowReadCount[i + 1] = row.RowReadCount;
        RowDelay[i + 1] = row.RowDelay;
        cells.push_back(std::move(row.cells));
    }
    vbalGrid1.replaceRows(std::move(cells));
    vbalGrid1.setColumnWidth(static_cast<int>(Column::DataWr), parsed.dataWrWidth);
    vbalGrid1.setColumnWidth(static_cast<int>(Column::DataRd), parsed.dataRdWidth);
    vbalGrid1.setColumnWidth(static_cast<int>(Column::ActRd), parsed.dataRdWidth);

    ScriptLines = std::move(parsed.scriptLines);
    ScriptLineCount = parsed.ScriptLineCount;
    TotalLines = parsed.TotalLines;
    ReadOpCount = parsed.ReadOpCount;
    CurrentAddrText = parsed.CurrentAddrText;
    lastRow_ = TotalLines;
    lastLineText_ = vbalGrid1.CellText(TotalLines, static_cast<int>(Column::Line));

    shpISample.FillColor = link_.colorBlack();
    txtTotLines.setText(parsed.txtTotLinesText);
    frmScriptExec.Visible = true;
    Caption = parsed.caption;
    cmdReload2.Enabled = true;
    cmdExecAll.Enabled = true;
    cmdRunContinuous.Enabled = true;
}

std::uint8_t frmScriptOps::defaultWriteAddress() const {
    // The shared write address is no default: every row and every GPIO row (which leaves it 0)
    // moves it.
    const auto address = board::I2cAddress::withReadAddress(txtI2CAdr.Text());
    return address ? address->write() : defaultAddr_;
}

void frmScriptOps::cmdReload2_Click() {
    clearAbort();
    if (!ScriptChosen) {
        link_.LogAppend("No Script File Opened yet, use File Menu", kCrLf);
        return;
    }
    cmdExecAll.Visible = false;
    cmdRunContinuous.Visible = false;
    cmdAbort.Visible = false;
    yield();
    loadFile(cdldialog);
    cmdExecAll.Visible = true;
    cmdRunContinuous.Visible = true;
    yield();
}

}  // namespace script
