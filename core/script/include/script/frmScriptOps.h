// The script window as a model without any toolkit: a script is loaded into the grid and its
// row tables, executed row by row, all at once or in a loop against the board, with interrupt
// sampling and recording of the measured data. Controls are public members named as the
// controls, event handlers are member functions named as the handlers. A view binds widgets to
// the members, calls the handlers from widget signals and renders from the members after each
// handler and at every yield (vbalGrid1.revision() tells when the grid changed).
//
// Several windows may exist; they share one ScriptRunState, owned by whoever creates them, so
// one run at a time is supported and "Abort" in any window stops it. Each window runs the
// sections of the script it loaded last. A window needs only the
// board link (with its Host), the run state, and the two small links to the main window and the
// GPIO panel, so a headless runner can drive it as the program does:
//
//     frmScriptOps w(link, runState, mainWindowLink, gpioLink);
//     w.Form_Load();            // asks the Host for a script file (cancel = none)
//     w.openScript(path);       // or load one directly
//     w.cmdExecAll_Click();     // Run All Steps
//     // results: w.vbalGrid1 cells, w.txtRdPass / w.txtRdFails, the main window's log
//
// No failure is thrown to the caller: board failures are logged by the board link, file
// errors and a row's run-time errors are shown in message boxes through the Host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/BoardLink.h"
#include "board/Reply.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/MenuTable.h"
#include "form/Window.h"
#include "script/ParsedScript.h"
#include "script/RowObserver.h"
#include "script/ScriptGpioLink.h"
#include "script/ScriptGrid.h"
#include "script/ScriptMainWindowLink.h"
#include "script/ScriptRunState.h"

namespace script {

// The last file chosen in one of the window's file dialogs.
struct FileChoice {
    std::string FileName;   // full path
    std::string FileTitle;  // name without folder
};

class frmScriptOps : public form::Window {
  public:
    static constexpr const char* kDesignCaption = "Setup - Script IC Send/Receive";
    static constexpr const char* kNoScriptCaption = "No Script File Selected";
    // Rows of the empty grid at window load.
    static constexpr int kDesignRows = 24;

    // Sets every control to its design state; nothing runs until Form_Load. openAnotherWindow
    // is what "Open Another Script Processing Form" does (create, load and show a new window
    // sharing runState); empty = the menu entry does nothing. Every reference must outlive the
    // window.
    frmScriptOps(board::BoardLink& link, ScriptRunState& runState, ScriptMainWindowLink& mainWindow,
                 ScriptGpioLink& gpio, std::function<void()> openAnotherWindow = {});

    // Every control but the grid and the menu, in twips: its design place, whether it may move
    // data, and the handlers its events run. Refers to this window's members.
    form::ControlTable controls();
    // The "File" menu: each entry with its first caption and the handler it runs through the
    // gate. Refers to this window's members.
    form::MenuTable menus();

    // Tells `observer` (nullptr: nobody) of every row the engine starts, compares and ends; it
    // must outlive the window or be removed first.
    void setRowObserver(RowObserver* observer) { rowObserver_ = observer; }

    // ---- Title, menu, default address ----
    form::Control picTitle;
    form::Label lblTitle;            // "IC - Script Load / Execute"
    form::MenuItem Script_File_Ops;  // "File"
    form::MenuItem mnuScript_Read;   // "Open Script File"
    form::MenuItem Dupform;          // "Open Another Script Processing Form"
    form::Label lblI2CAdr;           // "Default I2C Adr"
    form::TextBox txtI2CAdr;         // default I2C write address of this window, hex

    // ---- Grid ----
    ScriptGrid vbalGrid1;

    // ---- Script control ----
    form::Frame frmScriptExec;      // "Script Control"
    form::Button cmdExecAll;        // "Run All Steps"
    form::Button cmdAbort;          // "Abort"
    form::Button cmdRunContinuous;  // "Loop Cont"
    form::Button cmdReload2;        // "Reload"
    form::CheckBox chkAOF;          // "Abort On fail"
    form::Label lblLoopCount;       // "Loop Count"
    form::TextBox txtLoopCount;
    form::Label lblLastLoad;       // "Last Load"
    form::TextBox txtScriptLine1;  // time of the last load
    form::Label lblReadOps;        // "Read Operations"
    form::Label lblReadCounts;     // "Total       Pass        Fail"
    form::TextBox txttotReads;
    form::TextBox txtRdPass;
    form::TextBox txtRdFails;
    form::Label lblStep;       // "Step"
    form::TextBox txtRunning;  // row being run, or "Done"
    form::Label lblOf;         // "of"
    form::TextBox txtTotLines;

    // ---- Interrupt sampling ----
    form::Frame frameInterrupt;  // "Interrupt Status"
    form::CheckBox chkISample;   // "Enable"
    form::Label lblInterrupt;    // "Expect   LastRead    Enable          Disable       Detect Step"
    form::TextBox txtIDefault;   // expected idle value of the ports, 4 hex digits
    form::TextBox txtLastRead;   // ports at the last sample
    form::TextBox txtIEnableStep;
    form::TextBox txtIDisableStep;
    form::TextBox txtIdetectStep;
    form::Lamp shpISample;
    form::Button cmdISample;  // "Sample"
    form::Frame frameIsteps;  // "Interrupt Service Steps"
    form::Label lblIsteps;    // "     Start                  End               Executing"
    form::TextBox txtIstart;
    form::TextBox txtIend;
    form::TextBox txtIexec;

    // ---- Recording ----
    form::Frame frmDataRecord;  // "Update Expected Read Data & Save Script to File"
    form::TextBox txtFilePath;
    form::Button cmdBrowse;    // "Browse"
    form::CheckBox chkAppend;  // "Append"
    form::Button cmdStartRec;  // "Write to Disk"
    form::Label Label18;       // the last write

    // ---- File dialogs ----
    FileChoice cdldialog;      // the script file
    FileChoice CommonDialog2;  // the output file

    // ---- Per-window script state (row tables indexed by row, 1 to TotalLines) ----
    std::vector<std::int16_t> RowRegCount;
    std::vector<std::int16_t> RowWriteCount;
    std::vector<std::int16_t> RowReadCount;
    std::vector<std::int16_t> RowDelay;
    // The raw script lines; ScriptLines[0] is line 1. Recording rewrites them.
    std::vector<std::string> ScriptLines;
    int ScriptLineCount = 0;
    int TotalLines = 0;
    int ReadOpCount = 0;
    std::string CurrentAddrText;
    bool ScriptChosen = false;
    // True while Run All Steps runs in this window.
    bool RunActive = false;
    // Section rows of this window's last load (0 = none): Run All Steps runs rows 1 to
    // EndMainRow - 1, the interrupt service IntStartRow to IntEndRow; IntReturnRow is the row
    // after which the last interrupt was detected.
    std::int16_t EndMainRow = 0;
    std::int16_t IntStartRow = 0;
    std::int16_t IntEndRow = 0;
    std::int16_t IntReturnRow = 0;
    // Register + write bytes and register + read bytes of the row being executed.
    std::int16_t RowWriteTotal = 0;
    std::int16_t RowReadTotal = 0;

    // ---- Window ----
    // Design state, shared main-window address, grid set-up, then the open-script dialog. An
    // error shows "Script Load Error " and its description.
    void Form_Load();
    // Places the grid for a window of the given outer size in twips; nothing when minimised.
    void Form_Resize(int windowWidth, int windowHeight, bool minimised = false);
    // Makes this window the ActiveWindow.
    void Form_GotFocus();
    // The window closes: it counts as unloaded and whatever it runs (a row, Run All Steps, Loop
    // Cont) stops at once, leaving the program as after "Abort"; another window's run goes on.
    void Form_Terminate();
    // "Open Another Script Processing Form".
    void Dupform_Click();
    // "Open Script File".
    void mnuScript_Read_Click();
    // Enter (13) applies the default address (below 0xFF) and reloads the script; a bad value
    // logs "Address value too large script default I2C address Invalid" and shows "60". Typed
    // characters go through the hex key filter (0 = drop the key); control keys pass as they are.
    void txtI2CAdr_KeyPress(int& key);

    // ---- Loading ----
    // Asks for a script file and loads it; cancelling, or a file that is refused, changes
    // nothing (the chosen file stays). Returns whether a file was loaded.
    bool ReadScriptFile();
    // Loads the file in cdldialog again. A file that cannot be read or has more than 1000 lines
    // is refused in a message box and the window stays as it was.
    void LoadScriptFile();
    // "Reload": loads the same file again; before any file was chosen it only logs why.
    void cmdReload2_Click();
    // Loads the script at path as if it had been chosen in the dialog (for headless use).
    // Returns false, with the reason in a message box, when the file was refused; the chosen
    // file then stays as it was.
    bool openScript(const std::string& path);

    // ---- Execution ----
    // The grid's row event: the row executor for row `row` (the column is not used). The view
    // raises it on a double click, after making the row the selected row, and on Enter in the
    // selected row. Nothing happens while another window runs.
    void vbalGrid1_DblClick(int row, int column);
    // The grid's key event: waits 350 ms and does nothing else.
    void vbalGrid1_KeyDown(int keyCode, int shift, bool& doDefault);
    // Makes the row the selected row and raises the row event, as a double click does.
    void actOnRow(int row);
    // "Run All Steps": rows 1 to EndMainRow - 1 with the connection held open; "Step" shows
    // "Done" at the end, or "Aborted" when the user stopped the run. Nothing happens while
    // another window runs.
    void cmdExecAll_Click();
    // "Loop Cont": Run All Steps until aborted, counting passes in txtLoopCount; the Pass,
    // Fail and Total counts add up over the passes. Nothing happens while another window runs.
    void cmdRunContinuous_Click();
    // "Abort": the running loops stop when their current row ends.
    void cmdAbort_Click();

    // The executor's I2C and GPIO steps for the row being executed (see vbalGrid1_DblClick).
    // A failed transfer is logged and turns its data cell red.
    void Write_I2C();
    // Returns the read reply: the count byte, then the data bytes (zeros where none came).
    board::Reply Read_I2C();
    void GPIO_SET();

    // ---- Interrupt sampling ----
    // One sample of the ports; a value other than txtIDefault is an interrupt: sampling goes
    // off, the row is recorded and the service section runs (never nested in itself).
    void cmdISample_Click();
    // The user changed chkISample (the view sets Value first).
    void chkISample_MouseUp();

    // ---- Recording ----
    // "Write to Disk": measured read data into the script lines, then the stamped script to
    // txtFilePath; an error shows its description in a message box.
    void cmdStartRec_Click();
    // "Browse": choose the output file.
    void cmdBrowse_Click();
    // A "Cmd: Save File" row: appends the updated script to the script's "_DL" file.
    void Auto_Script_Save();

    ScriptRunState& runState() { return run_; }
    board::BoardLink& link() { return link_; }

  private:
    struct RowTexts {
        int row = 0;
        std::string rowText;
        std::string lineText;
        std::string addr;
        std::string reg;
        std::string dataWr;
        std::string dataRd;
        std::string operation;
    };

    void initControls();
    void setupGrid();
    void applyScript(ParsedScript&& parsed);
    void yield();
    void yieldTimes(int count);
    void wait(int ms);
    void message(const std::string& text);
    // Loads `file`; on success it becomes the chosen file (cdldialog, ScriptChosen, "Reload"
    // shown). A refused file leaves the window and the chosen file as they were.
    bool chooseAndLoad(const FileChoice& file);
    // Loads `file` into the grid and tables; false, with the reason in a message box, when the
    // file is refused.
    bool loadFile(const FileChoice& file);
    void executeRow(int row);
    // An I2C or GPIO row, split into the steps below in the order they run; `r` is the row.
    void genericStep(bool& connectedForRow);
    // A delay of -1: asks whether to go on; Cancel asks the running loops to stop.
    void pauseForKeypress(int r);
    // A positive delay: shows it in the actual column and waits that many milliseconds.
    void delayRow(int r, std::int16_t delay);
    // The row's I2C address into I2CWriteAddr and I2CReadAddr; false, with a message, when it is
    // 0xFF or more.
    bool takeRowAddress(int r);
    // Sets RowWriteTotal and RowReadTotal from the row's byte counts; returns its read count.
    int countRowBytes(int r);
    // Outside Run All Steps the row opens the connection itself if it is closed.
    void connectForRow(bool& connectedForRow);
    // The I2C write, then the read and its comparison, each only where the row has bytes.
    void transferRow(int r, int readCount);
    // Reads the row's bytes into the actual column and counts the row as passed or failed.
    void readAndCompare(int r, int readCount);
    void compareAndCount(bool measured);
    void closingStep(int row, bool connectedForRow);
    void countPass();
    void countFail();
    void serviceInterrupt();
    std::vector<std::uint8_t> bytesOf(const std::string& text, int count) const;
    int lastRunnableRow(int bound) const;
    // Another window's run is going: this window starts no run and no row.
    bool otherWindowRuns() const;
    // The window's default I2C write address for a load: the "Default I2C Adr" box, or the
    // address last applied when the box holds no valid address.
    std::uint8_t defaultWriteAddress() const;
    // Clears a request to stop, the user's included.
    void clearAbort();

    board::BoardLink& link_;
    ScriptRunState& run_;
    ScriptMainWindowLink& main_;
    ScriptGpioLink& gpio_;
    std::function<void()> openAnotherWindow_;
    RowObserver* rowObserver_ = nullptr;

    // The row being executed.
    RowTexts row_;
    // The default address last applied (window load, Enter in txtI2CAdr).
    std::uint8_t defaultAddr_ = 0x60;
    // True while Loop Cont runs its passes: the counts go on from pass to pass.
    bool looping_ = false;
    // The window was closed: its waits end and its loops start no further row or pass.
    bool closed_ = false;
    // Per row: its last comparison used data that really came back (a complete reply, or a
    // GPIO exchange that was answered). Recording takes only such rows.
    std::vector<bool> rowMeasured_;
    // The row last executed (after a load, the last loaded line), for the interrupt record.
    int lastRow_ = 0;
    std::string lastLineText_;
};

}  // namespace script
