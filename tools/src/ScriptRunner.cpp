#include "tools/ScriptRunner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Navigator.h"
#include "app/ScriptWindows.h"
#include "board/AtomicFile.h"
#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "client/BoardLinkClient.h"
#include "client/BusCapture.h"
#include "script/frmScriptOps.h"
#include "tools/BoardWatch.h"
#include "tools/CaptureOption.h"
#include "tools/HeadlessHost.h"
#include "tools/JUnitRecorder.h"
#include "tools/PassTally.h"
#include "tools/TransferTrace.h"
#include "wd_utils.h"

namespace tools {

namespace {

// One stderr line: what could not be done, then each reason the window gave for it.
void reportRefusal(std::ostream& err, const std::string& what,
                   const std::vector<std::string>& reasons) {
    err << "velmorix-script: " << what;
    for (const std::string& reason : reasons) {
        err << ": " << reason;
    }
    err << '\n';
}

// Writes text to a file, or to out for "-"; false with a reason when the file cannot be written.
bool writeOutput(const std::string& path, const std::string& text, std::ostream& out,
                 std::string& error) {
    if (path == "-") {
        out << text;
        return true;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string cleanCell(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string gridText(const script::ScriptGrid& grid) {
    std::ostringstream text;
    text << "Line\tI2C Adr\tReg Adr\tData_Wr\tData_Rd\tAct_Rd\tOperation\tComment\tResult\n";
    const int actRd = static_cast<int>(script::Column::ActRd);
    for (int row = 1; row <= grid.Rows(); ++row) {
        for (int column = 1; column <= script::kColumnCount; ++column) {
            text << cleanCell(grid.CellText(row, column)) << '\t';
        }
        switch (grid.CellBackColor(row, actRd)) {
            case script::CellColor::Green:
                text << "pass";
                break;
            case script::CellColor::Red:
                text << "fail";
                break;
            default:
                break;
        }
        text << '\n';
    }
    return text.str();
}

// Headless, there is no window to show; the run ends with the script, so a quit changes nothing
// here (the application still records it).
class HeadlessNavigator : public app::Navigator {
  public:
    void showConsole(console::frmI2C_General&) override {}
    void showGpioPanel(gpio::frmGPIO&) override {}
    void showScriptWindow(script::frmScriptOps&) override {}
    void showAboutBox(about::frmAbout2&) override {}
    void startupLoaded(startup::frmStartup&) override {}
    void quit() override {}
};

int countOf(const form::TextBox& box) {
    return std::atoi(box.Text().c_str());
}

// After the run: the record, grid, log and JUnit outputs the options ask for. An output that
// was asked for and could not be written fails the run as a bad argument would, so that a
// nightly job does not take a missing file for success: false, with each reason on err.
bool writeRunOutputs(const RunnerOptions& options, app::Application& app,
                     script::frmScriptOps& window, HeadlessHost& host, JUnitRecorder* junit,
                     std::ostream& out, std::ostream& err) {
    bool written = true;
    if (!options.recordPath.empty()) {
        window.txtFilePath.setText(options.recordPath);
        window.chkAppend.Value = options.append ? 1 : 0;
        std::vector<std::string> recordMessages;
        host.heldMessages = &recordMessages;
        window.cmdStartRec_Click();
        host.heldMessages = nullptr;
        if (!recordMessages.empty()) {
            written = false;
            reportRefusal(err, "cannot record to " + options.recordPath, recordMessages);
        }
    }
    std::string error;
    if (!options.gridPath.empty() &&
        !writeOutput(options.gridPath, gridText(window.vbalGrid1), out, error)) {
        written = false;
        err << "velmorix-script: " << error << '\n';
    }
    if (!options.logPath.empty() &&
        !writeOutput(options.logPath, app.Txtlog().Text(), out, error)) {
        written = false;
        err << "velmorix-script: " << error << '\n';
    }
    if (junit != nullptr) {
        const std::string xml = junit->finish().xml();
        if (const int failure = board::replaceFileAtomically(options.junitPath, xml);
            failure != 0) {
            written = false;
            err << "velmorix-script: cannot write " << options.junitPath << ": "
                << std::strerror(failure) << '\n';
        }
    }
    return written;
}

// Ends the transfer trace however the run ends.
struct TraceScope {
    ~TraceScope() { WDU_SetTransferTrace(nullptr, nullptr); }
};

}  // namespace

ScriptRunResult runScriptPasses(const RunnerOptions& options, std::ostream& out, std::ostream& err,
                                bool progress, const std::function<bool()>& stop) {
    ScriptRunResult result;
    result.exitStatus = kUsageOrLoad;
    {
        errno = 0;
        std::ifstream probe(options.script, std::ios::binary);
        if (!probe) {
            result.errnoValue = errno != 0 ? errno : ENOENT;
            err << "velmorix-script: cannot read script " << options.script << '\n';
            return result;
        }
    }
    result.errnoValue = EINVAL;  // until the run is had: a refused bridge, option or script
    // A bridge that cannot be had (a bad name or simulation file) ends the run before any window
    // loads, with the layer's reason on one line.
    if (WDU_SelectBridge(options.bridge ? options.bridge->c_str() : nullptr) != WD_STATUS_SUCCESS) {
        err << "velmorix-script: " << WDU_BridgeError() << '\n';
        return result;
    }
    WDU_I2cDevForce(options.force ? 1 : 0);

    bool captureFailed = false;
    errno = 0;
    const std::unique_ptr<client::BusCapture> capture =
        openCaptureOption(options.capturePath, options.captureRate, options.bridge,
                          "velmorix-script", err, captureFailed);
    if (captureFailed) {
        result.errnoValue = errno != 0 ? errno : EIO;
        return result;
    }

    HeadlessHost host(err);
    host.okCancelAnswer = options.pauseContinues ? form::MsgResult::Ok : form::MsgResult::Cancel;
    TraceScope traceScope;
    if (options.trace) {
        WDU_SetTransferTrace(traceTransfer, &err);
    }

    HeadlessNavigator navigator;
    app::Application app(host, navigator);
    if (capture) {
        app.link().addBusObserver(*capture);
    }
    app::ScriptWindows& windows = app.scriptWindows();
    app.mainWindow();
    script::frmScriptOps& window = windows.sharedWindow();
    // A refused script is reported on one line with the window's reason, not as a message.
    std::vector<std::string> loadMessages;
    host.heldMessages = &loadMessages;
    const bool loaded = window.openScript(options.script);
    host.heldMessages = nullptr;
    if (!loaded) {
        reportRefusal(err, "cannot load script " + options.script, loadMessages);
        return result;
    }
    result.loaded = true;
    result.errnoValue = 0;
    for (const std::string& message : loadMessages) {
        err << "message: " << message << '\n';
    }
    window.txtI2CAdr.setText(options.writeAddress ? board::HexByteText(*options.writeAddress)
                                                  : options.address);
    int enter = 13;
    window.txtI2CAdr_KeyPress(enter);
    window.chkAOF.Value = options.abortOnFail ? 1 : 0;
    if (options.sample) {
        window.chkISample.Value = 1;
        window.chkISample_MouseUp();
    }

    script::ScriptRunState& run = window.runState();
    std::optional<JUnitRecorder> junit;
    if (!options.junitPath.empty()) {
        junit.emplace(window, app.Txtlog(), host, board::fileTitle(options.script));
    }
    PassTally tally(window.vbalGrid1, junit ? &*junit : nullptr);
    BoardWatch boardWatch(app.link(), window.vbalGrid1, &tally);
    window.setRowObserver(&boardWatch);
    // Loop Cont adds its counts up over the passes; each pass is tallied as its count appears.
    int passesCounted = 0;
    bool progressShown = false;
    host.onYield = [&] {
        if (options.loops > 0 && countOf(window.txtLoopCount) > passesCounted) {
            passesCounted = countOf(window.txtLoopCount);
            tally.endPass(countOf(window.txtRdPass), countOf(window.txtRdFails));
            if (junit) {
                junit->endPass();
            }
            if (passesCounted >= options.loops) {
                run.AbortRequested = board::True;
            }
        }
        if (stop && !result.interrupted && stop()) {
            result.interrupted = true;
            run.AbortRequested = board::True;
        }
        if (progress && window.RunActive) {
            err << "\rrow " << window.txtRunning.Text() << " of " << window.txtTotLines.Text()
                << ", " << window.txtRdPass.Text() << " passed   " << std::flush;
            progressShown = true;
        }
    };
    if (options.loops > 0) {
        window.cmdRunContinuous_Click();
    } else {
        window.cmdExecAll_Click();
    }
    host.onYield = nullptr;
    window.setRowObserver(nullptr);
    boardWatch.runEnded();
    if (progressShown) {
        err << "\r\033[K" << std::flush;
    }
    if (options.loops == 0) {
        tally.endPass(countOf(window.txtRdPass), countOf(window.txtRdFails));
    }
    const bool written =
        writeRunOutputs(options, app, window, host, junit ? &*junit : nullptr, out, err);

    result.passes = tally.passes();
    result.passed = tally.passed();
    result.failed = tally.failed();
    // A bench fault (no board, or one that left) is not a comparison that failed.
    if (boardWatch.missed()) {
        result.boardFault = boardWatch.fault();
        // The same cause velmorix-i2c and Python give when the board was never reached: an
        // adapter node not there or not ours to open is no missing board.
        const client::BoardLinkClient::OpenFailure why =
            boardWatch.reached()
                ? client::BoardLinkClient::OpenFailure{ENODEV, {}}
                : client::BoardLinkClient::whyNotOpen(
                      app.link(), client::BusCapture::bridgeName(
                                      options.bridge ? options.bridge->c_str() : nullptr));
        result.errnoValue = why.errnoValue;
        if (why.errnoValue != ENODEV) {
            result.boardFault += ": " + why.text;
        }
        err << "velmorix-script: " << result.boardFault << '\n';
        result.exitStatus = kNoBoard;
    } else if (!written) {
        result.exitStatus = kUsageOrLoad;
    } else {
        result.exitStatus = result.failed > 0 ? kComparisonFailed : kAllPassed;
    }
    return result;
}

int runScript(const RunnerOptions& options, std::ostream& stdOut, std::ostream& err,
              bool progress) {
    // A capture on stdout leaves it to the capture; the summary goes to stderr.
    std::ostream& out = options.capturePath == "-" ? err : stdOut;
    const ScriptRunResult result = runScriptPasses(options, out, err, progress, nullptr);
    if (!result.loaded) {
        return result.exitStatus;  // the reason is on err
    }
    if (options.loops > 0) {
        const std::size_t passes = result.passes.size();
        out << passes << (passes == 1 ? " pass\n" : " passes\n");
    }
    out << result.passed << " passed, " << result.failed << " failed\n";
    return result.exitStatus;
}

}  // namespace tools
