// The script window on Qt with a full-size script of 1000 lines, offscreen, on a simulated
// bridge board at zero latency: Run All Steps clicked in the window (gate, the run with its
// repaints at the host's yields, the grid following the running row) and the same run on the
// Qt host without the window, "Reload" clicked, and one repaint after a single cell changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "QtBench.h"
#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "script/ScriptGridModel_view.h"
#include "script/ScriptViews_view.h"
#include "wdu_sim.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 1000;

const char* const kBench = R"({
  "name": "script window bench", "attached": true,
  "targets": [ { "address": "60", "register_bytes": 1, "fill": "00",
                 "registers": { "05": "0B" } } ] })";

// Answers the script window's open dialog with the benchmark's script.
class BenchHost : public kit::QtHost {
  public:
    std::string script;
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override {
        return {false, script, fs::path(script).filename().string()};
    }
};

// 999 reads that pass, then the end of the main section.
std::string readScript() {
    std::string text;
    for (int i = 1; i < kLines; ++i) {
        text += "05,,0B # read\r\n";
    }
    text += "`ENDM\r\n";
    return text;
}

enum class Action {
    RunAllSteps,
    // The same run without the script window's view: what the Qt host alone costs.
    RunAllStepsWithoutView,
    Reload,
    RepaintOneCell,
};

void scriptWindow(benchmark::State& state, Action action) {
    qtbench::ensureQt();
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    auto board = bridgesim::Board::fromJsonText(kBench, "script window bench", error);
    if (!board) {
        state.SkipWithError(error.c_str());
        return;
    }
    board->setPacketLogCapacity(1024);
    wdu::installSimulatedBoard(board);
    const fs::path path = fs::temp_directory_path() / "bench_scriptview.txt";
    std::ofstream(path, std::ios::binary) << readScript();
    {
        BenchHost host;
        host.script = path.string();
        program::QtViews views(host);
        app::Application& app = views.app();
        app::ScriptWindows& windows = app.scriptWindows();
        const bool withView = action != Action::RunAllStepsWithoutView;
        app.start();
        // Without a view the window is loaded but never shown, so no view is made for it.
        if (withView) {
            windows.showSharedWindow();
        }
        script::frmScriptOps& window = windows.sharedWindow();
        script::frmScriptOpsView* view = withView ? views.scriptViews().viewOf(window) : nullptr;
        if (withView && view == nullptr) {
            state.SkipWithError("no script window");
            return;
        }
        QApplication::processEvents();
        auto* run = view ? view->findChild<QPushButton*>("cmdExecAll") : nullptr;
        auto* reload = view ? view->findChild<QPushButton*>("cmdReload2") : nullptr;
        int row = 1;
        for (auto _ : state) {
            switch (action) {
                case Action::RunAllSteps:
                    run->click();
                    break;
                case Action::RunAllStepsWithoutView:
                    app.gate().dispatch([&window] { window.cmdExecAll_Click(); });
                    break;
                case Action::Reload:
                    reload->click();
                    break;
                case Action::RepaintOneCell:
                    window.vbalGrid1.setCellText(row, 6, row % 2 == 0 ? "0B" : "0C");
                    row = row % (kLines - 1) + 1;
                    host.renderAll();
                    view->grid()->viewport()->repaint();
                    break;
            }
        }
        if (view != nullptr && view->gridModel()->rowCount() != kLines) {
            state.SkipWithError("the grid does not show the script");
        }
        if (action != Action::Reload && action != Action::RepaintOneCell &&
            window.txtRdPass.Text() != std::to_string(kLines - 1)) {
            state.SkipWithError("the rows did not all pass");
        }
        state.counters["rows"] = kLines;
    }
    board.reset();
    wdu::resetForTests();
    fs::remove(path);
}

void BM_WindowRunAllStepsThousandReads(benchmark::State& state) {
    scriptWindow(state, Action::RunAllSteps);
}
BENCHMARK(BM_WindowRunAllStepsThousandReads)->Unit(benchmark::kMillisecond);

void BM_QtHostRunAllStepsThousandReadsWithoutView(benchmark::State& state) {
    scriptWindow(state, Action::RunAllStepsWithoutView);
}
BENCHMARK(BM_QtHostRunAllStepsThousandReadsWithoutView)->Unit(benchmark::kMillisecond);

void BM_WindowReloadThousandLines(benchmark::State& state) {
    scriptWindow(state, Action::Reload);
}
BENCHMARK(BM_WindowReloadThousandLines)->Unit(benchmark::kMillisecond);

void BM_WindowRepaintAfterOneCell(benchmark::State& state) {
    scriptWindow(state, Action::RepaintOneCell);
}
BENCHMARK(BM_WindowRepaintAfterOneCell)->Unit(benchmark::kMicrosecond);

}  // namespace
