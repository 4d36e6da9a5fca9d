// "Read All" of the Register Map window on a map of 256 one-byte registers (two fields each),
// through its Qt button: the gate, 256 read exchanges with the built-in simulated bridge board at
// zero latency, and the tree painted again offscreen. In automatic mode each click also opens
// and closes the connection (the console's 10,000-yield attach wait); in manual mode the
// connection stays open.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QPushButton>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "QtBench.h"
#include "app/Application.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "wdu_sim.h"

namespace {

std::string map256() {
    std::string text =
        "<device><name>D</name><size>8</size><peripherals><peripheral>"
        "<name>P</name><registers>\n";
    for (int r = 0; r < 256; ++r) {
        text += "<register><name>R" + std::to_string(r) + "</name><addressOffset>" +
                std::to_string(r) +
                "</addressOffset><fields><field><name>LO</name><bitRange>[3:0]</bitRange>"
                "</field><field><name>HI</name><bitRange>[7:4]</bitRange></field></fields>"
                "</register>\n";
    }
    return text + "</registers></peripheral></peripherals></device>\n";
}

void ReadAll(benchmark::State& state, bool manual) {
    qtbench::ensureQt();
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(bridgesim::Board::builtIn());
    wdu::simulatedBoard()->setPacketLogCapacity(1024);
    const auto file = std::filesystem::temp_directory_path() /
                      ("bench_regmap_" + std::to_string(getpid()) + ".svd");
    std::ofstream(file) << map256();
    {
        kit::QtHost host;
        program::QtViews views(host);
        app::Application& app = views.app();
        app.start();
        if (manual) {
            app.mainWindow().ChKManUsbConn.Value = 1;
            app.mainWindow().ChKManUsbConn_Click();
            app.mainWindow().cmdUSBConnect_Click();
        }
        app.showRegisterMap();
        app.registerMap().openMap(file.string());
        host.renderAll();
        auto* view = views.registerMapView();
        auto* button = view->findChild<QPushButton*>("cmdReadAll");
        for (auto _ : state) {
            button->click();
            view->tree()->viewport()->repaint();
        }
        if (!app.registerMap().states().back().value.has_value()) {
            state.SkipWithError("Read All did not read the last register");
        }
        if (manual) {
            app.mainWindow().cmdUSBDisconnect_Click();
        }
    }
    std::filesystem::remove(file);
    wdu::resetForTests();
}

void ReadAll256Automatic(benchmark::State& state) {
    ReadAll(state, false);
}
void ReadAll256Manual(benchmark::State& state) {
    ReadAll(state, true);
}
BENCHMARK(ReadAll256Automatic)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadAll256Manual)->Unit(benchmark::kMillisecond);

}  // namespace
