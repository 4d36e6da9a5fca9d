#include "ViewFixture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "wdu_sim.h"

namespace viewtest {

namespace {

// Device 60 answers (register 02 = 7A read-only, register 05 = 7A); nothing answers at 62.
const char* const kBench = R"({
  "name": "view tests",
  "attached": true,
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00",
      "registers": { "02": "7A", "05": "7A" }, "read_only": [ "02" ] } ] })";

}  // namespace

void ViewFixture::SetUp() {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    std::string error;
    board = bridgesim::Board::fromJsonText(kBench, "view tests", error);
    if (!board) {
        std::fprintf(stderr, "bad test bench: %s\n", error.c_str());
        std::abort();
    }
    wdu::installSimulatedBoard(board);
    host = std::make_unique<kit::QtHost>();
    host->busyPaintDelayMs = 0;
    app = std::make_unique<app::Application>(*host);
    views = std::make_unique<program::QtViews>(*app, *host);
    app->start();
    ASSERT_NE(views->mainView(), nullptr);
}

void ViewFixture::TearDown() {
    views.reset();
    app.reset();
    host.reset();
    board.reset();
    wdu::resetForTests();
}

}  // namespace viewtest
