// The script window model: loading a full-size script into the window, and Run All Steps over
// a full-size script of register reads against the simulated bridge board, at zero latency and
// at 250 us per transfer (a high-speed bridge on a real bus).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "MixedScript.h"
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

constexpr int kLines = 1000;

const char* const kBench = R"({
  "name": "script bench", "attached": true,
  "targets": [ { "address": "60", "register_bytes": 1, "fill": "00",
                 "registers": { "05": "0B" } } ] })";

std::string writeFile(const std::string& name, const std::string& text) {
    fs::path path = fs::temp_directory_path() / name;
    std::ofstream file(path, std::ios::binary);
    file << text;
    return path.string();
}

// Full size of register reads; the last line ends the main section, so 999 rows are run.
std::string readScript() {
    std::string text;
    for (int i = 1; i < kLines; ++i) {
        text += "05,,0B # read back\r\n";
    }
    return text + "`ENDM\r\n";
}

class NoMainWindow : public script::ScriptMainWindowLink {
  public:
    void cmdUSBConnect_Click() override {}
    void cmdUSBDisconnect_Click() override {}
    board::I2cAddress consoleAddress() override { return board::I2cAddress(0x60); }
};

class NoGpioPanel : public script::ScriptGpioLink {
  public:
    void cmdGPIO_Write_Click() override {}
    void cmdWrite_GPIO_Data_Click() override {}
    bool exchangeAnswered() override { return true; }
    std::string txtPCHexData(int) override { return "FF"; }
    std::string txtPCHex(int) override { return "00"; }
};

void BM_LoadThousandLinesIntoWindow(benchmark::State& state) {
    std::string path = writeFile("bench_script_load.txt", benchscript::mixedScript(kLines));
    form::TestHost host;
    board::StandaloneMainWindow mainWindow;
    board::BoardLink link(host, mainWindow);
    script::ScriptRunState runState;
    NoMainWindow mainLink;
    NoGpioPanel gpioLink;
    script::frmScriptOps window(link, runState, mainLink, gpioLink);
    window.Form_Load();
    for (auto _ : state) {
        bool loaded = window.openScript(path);
        benchmark::DoNotOptimize(loaded);
    }
    if (window.TotalLines != kLines) {
        state.SkipWithError("script not loaded");
    }
    fs::remove(path);
}
BENCHMARK(BM_LoadThousandLinesIntoWindow)->Unit(benchmark::kMillisecond);

// Run All Steps through the whole program model (main window, GPIO panel, board link, USB
// layer, simulated board). Reports the run time per pass and, with latency, the ratio of the
// run time to the floor of transfers x latency.
void runAllSteps(benchmark::State& state, std::chrono::microseconds latency) {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    auto board = bridgesim::Board::fromJsonText(kBench, "script bench", error);
    if (!board) {
        state.SkipWithError(error.c_str());
        return;
    }
    wdu::installSimulatedBoard(board);
    std::string path = writeFile("bench_script_run.txt", readScript());
    {
        form::TestHost host;
        host.pump = [] { WDU_VB_PumpEvents(); };
        apptest::RecordingNavigator navigator;
        app::Application app(host, navigator);
        app::ScriptWindows& windows = app.scriptWindows();
        app.start();
        host.dialogAnswers.push_back({false, path, "bench_script_run.txt"});
        windows.showSharedWindow();
        script::frmScriptOps& window = windows.sharedWindow();
        board->setLatency(latency);

        double seconds = 0;
        double floorSeconds = 0;
        for (auto _ : state) {
            board->clearPacketLog();
            app.mainWindow().Txtlog.setText("");
            auto begin = std::chrono::steady_clock::now();
            window.cmdExecAll_Click();
            auto end = std::chrono::steady_clock::now();
            seconds += std::chrono::duration<double>(end - begin).count();
            floorSeconds += static_cast<double>(board->packetLog().size()) *
                            std::chrono::duration<double>(latency).count();
        }
        if (window.txtRdPass.Text() != std::to_string(kLines - 1)) {
            state.SkipWithError("the rows did not all pass");
        }
        state.counters["rows"] = kLines - 1;
        if (latency.count() > 0 && floorSeconds > 0) {
            state.counters["time_over_floor"] = seconds / floorSeconds;
        }
        board->setLatency(std::chrono::microseconds(0));
    }
    board.reset();
    wdu::resetForTests();
    fs::remove(path);
}

void BM_RunAllStepsThousandReads(benchmark::State& state) {
    runAllSteps(state, std::chrono::microseconds(0));
}
BENCHMARK(BM_RunAllStepsThousandReads)->Unit(benchmark::kMillisecond);

void BM_RunAllStepsThousandReadsAt250us(benchmark::State& state) {
    runAllSteps(state, std::chrono::microseconds(250));
}
BENCHMARK(BM_RunAllStepsThousandReadsAt250us)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace
