// The program log under a flood: the cost of one entry once the log is at its budget (dropping
// the oldest entries included), and the memory that Loop Cont over a missing board holds after
// 5 and after 60 seconds, with the log's budget and without one (every entry kept).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "board/BoardLink.h"
#include "bridgesim/Board.h"
#include "script/frmScriptOps.h"
#include "testing/RecordingNavigator.h"
#include "testing/TestHost.h"
#include "wdu_sim.h"

namespace {

namespace fs = std::filesystem;

// The passes a desktop makes in one second of Loop Cont over 300 reads without a board.
constexpr int kPassesPerSecond = 34;

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// One entry as a pipe transfer over a missing board writes it, at the log's budget.
void BM_LogAppendAtBudget(benchmark::State& state) {
    form::TestHost host;
    board::StandaloneMainWindow mainWindow;
    board::BoardLink link(host, mainWindow);
    const std::string message =
        "ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000015 (Device not found)\r\n";
    while (mainWindow.Txtlog().droppedBytes() == 0) {
        link.LogError(message);
    }
    for (auto _ : state) {
        link.LogError(message);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["log_MB"] =
        static_cast<double>(mainWindow.Txtlog().Text().capacity()) / 1048576.0;
}
BENCHMARK(BM_LogAppendAtBudget);

// Loop Cont over 300 reads with the board pulled, for 60 seconds of the host's clock at the
// desktop's pass rate. Arg 1: the log's budget; arg 0: no budget, every entry kept.
void BM_LoopContWithoutBoardSixtySeconds(benchmark::State& state) {
    const bool budget = state.range(0) != 0;
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    auto board = bridgesim::Board::fromJsonText(
        R"({ "name": "log bench", "attached": true,
             "targets": [ { "address": "60", "register_bytes": 1, "fill": "00" } ] })",
        "log bench", error);
    if (!board) {
        state.SkipWithError(error.c_str());
        return;
    }
    wdu::installSimulatedBoard(board);
    std::string script;
    for (int i = 0; i < 300; ++i) {
        script += "05,,0B\r\n";
    }
    const fs::path path = fs::temp_directory_path() / "bench_log_loop.txt";
    std::ofstream(path, std::ios::binary) << script << "`ENDM\r\n";
    for (auto _ : state) {
        form::TestHost host;
        apptest::RecordingNavigator navigator;
        app::Application app(host, navigator);
        form::TextBox& log = app.mainWindow().Txtlog;
        if (!budget) {
            log.keepNewest({});
        }
        app.start();
        host.dialogAnswers.push_back({false, path.string(), path.filename().string()});
        app.scriptWindows().showSharedWindow();
        script::frmScriptOps& window = app.scriptWindows().sharedWindow();
        board->detach();
        const double rssAtStart = residentMegabytes();
        double rssAfter5s = 0;
        double logAfter5s = 0;
        int passes = 0;
        auto seen = window.txtLoopCount.textGeneration();
        host.pump = [&] {
            WDU_VB_PumpEvents();
            if (window.txtLoopCount.textGeneration() == seen) {
                return;
            }
            seen = window.txtLoopCount.textGeneration();
            if (window.txtLoopCount.Text() == "0") {
                return;
            }
            ++passes;
            if (passes == 5 * kPassesPerSecond) {
                rssAfter5s = residentMegabytes() - rssAtStart;
                logAfter5s = static_cast<double>(log.Text().capacity()) / 1048576.0;
            }
            if (passes == 60 * kPassesPerSecond) {
                window.cmdAbort_Click();
            }
        };
        window.cmdRunContinuous_Click();
        state.counters["log_MB_5s"] = logAfter5s;
        state.counters["log_MB_60s"] = static_cast<double>(log.Text().capacity()) / 1048576.0;
        state.counters["rss_MB_5s"] = rssAfter5s;
        state.counters["rss_MB_60s"] = residentMegabytes() - rssAtStart;
        state.counters["log_lines_60s"] =
            static_cast<double>(std::count(log.Text().begin(), log.Text().end(), '\n'));
    }
    board->attach();
    board.reset();
    wdu::resetForTests();
    fs::remove(path);
}
BENCHMARK(BM_LoopContWithoutBoardSixtySeconds)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
