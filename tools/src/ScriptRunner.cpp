#include "tools/ScriptRunner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
#include "script/frmScriptOps.h"
#include "tools/BoardWatch.h"
#include "tools/HeadlessHost.h"
#include "tools/JUnitRecorder.h"
#include "tools/TransferTrace.h"
#include "wd_utils.h"

namespace tools {

namespace {

// Writes text to a file, or to out for "-"; false with a reason when the file cannot be written.
// One stderr line: what could not be done, then each reason the window gave for it.
void reportRefusal(std::ostream& err, const std::string& what,
                   const std::vector<std::string>& reasons) {
    err << "velmorix-script: " << what;
    for (const std::string& reason : reasons) {
        err << ": " << reason;
    }
    err << '\n';
}

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

}  // namespace

int runScript(const RunnerOptions& options, std::ostream& out, std::ostream& err, bool progress) {
    {
        std::ifstream probe(options.script, std::ios::binary);
        if (!probe) {
            err << "velmorix-script: cannot read script " << options.script << '\n';
            return kUsageOrLoad;
        }
    }
    // A bridge that cannot be had (a bad simulation file) ends the run before any window loads,
    // with the layer's reason on one line.
    if (WDU_SelectBridge(options.bridge ? options.bridge->c_str() : nullptr) != WD_STATUS_SUCCESS) {
        err << "velmorix-script: " << WDU_BridgeError() << '\n';
        return kUsageOrLoad;
    }

    HeadlessHost host(err);
    host.okCancelAnswer = options.pauseContinues ? form::MsgResult::Ok : form::MsgResult::Cancel;
    if (options.trace) {
        WDU_SetTransferTrace(traceTransfer, &err);
    }

    int exitStatus = kAllPassed;
    {
        HeadlessNavigator navigator;
        app::Application app(host, navigator);
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
            WDU_SetTransferTrace(nullptr, nullptr);
            return kUsageOrLoad;
        }
        for (const std::string& message : loadMessages) {
            err << "message: " << message << '\n';
        }
        window.txtI2CAdr.setText(options.address);
        int enter = 13;
        window.txtI2CAdr_KeyPress(enter);
        window.chkAOF.Value = options.abortOnFail ? 1 : 0;
        if (options.sample) {
            window.chkISample.Value = 1;
            window.chkISample_MouseUp();
        }

        script::ScriptRunState& run = window.runState();
        // Loop Cont adds its counts up over the passes; the totals are taken as each pass is
        // counted.
        int passed = 0;
        int failed = 0;
        int passesCounted = 0;
        bool progressShown = false;
        std::optional<JUnitRecorder> junit;
        if (!options.junitPath.empty()) {
            junit.emplace(window, app.Txtlog(), host, fileTitle(options.script));
        }
        BoardWatch boardWatch(app.link().s, window.vbalGrid1, junit ? &*junit : nullptr);
        window.setRowObserver(&boardWatch);
        host.onYield = [&] {
            if (options.loops > 0 && countOf(window.txtLoopCount) > passesCounted) {
                passesCounted = countOf(window.txtLoopCount);
                passed = countOf(window.txtRdPass);
                failed = countOf(window.txtRdFails);
                if (junit) {
                    junit->endPass();
                }
                if (passesCounted >= options.loops) {
                    run.AbortRequested = board::True;
                }
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

        // An output that was asked for and could not be written fails the run as a bad
        // argument would: a nightly job must not take a missing file for success.
        bool outputFailed = false;
        if (!options.recordPath.empty()) {
            window.txtFilePath.setText(options.recordPath);
            window.chkAppend.Value = options.append ? 1 : 0;
            std::vector<std::string> recordMessages;
            host.heldMessages = &recordMessages;
            window.cmdStartRec_Click();
            host.heldMessages = nullptr;
            if (!recordMessages.empty()) {
                outputFailed = true;
                reportRefusal(err, "cannot record to " + options.recordPath, recordMessages);
            }
        }
        std::string error;
        if (!options.gridPath.empty() &&
            !writeOutput(options.gridPath, gridText(window.vbalGrid1), out, error)) {
            outputFailed = true;
            err << "velmorix-script: " << error << '\n';
        }
        if (!options.logPath.empty() &&
            !writeOutput(options.logPath, app.Txtlog().Text(), out, error)) {
            outputFailed = true;
            err << "velmorix-script: " << error << '\n';
        }

        if (junit) {
            const std::string xml = junit->finish().xml();
            if (const int failure = board::replaceFileAtomically(options.junitPath, xml);
                failure != 0) {
                outputFailed = true;
                err << "velmorix-script: cannot write " << options.junitPath << ": "
                    << std::strerror(failure) << '\n';
            }
        }

        if (options.loops == 0) {
            passed = countOf(window.txtRdPass);
            failed = countOf(window.txtRdFails);
        } else {
            out << passesCounted << (passesCounted == 1 ? " pass\n" : " passes\n");
        }
        out << passed << " passed, " << failed << " failed\n";
        // A bench fault (no board, or one that left) is not a comparison that failed.
        if (boardWatch.missed()) {
            err << "velmorix-script: " << boardWatch.fault() << '\n';
            exitStatus = kNoBoard;
        } else if (outputFailed) {
            exitStatus = kUsageOrLoad;
        } else if (failed > 0) {
            exitStatus = kComparisonFailed;
        }
    }
    WDU_SetTransferTrace(nullptr, nullptr);
    return exitStatus;
}

}  // namespace tools
