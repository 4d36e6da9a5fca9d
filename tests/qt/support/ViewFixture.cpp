#include "ViewFixture.h"

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
    startOn(kBench);
}

void ViewFixture::startOn(const char* simulation) {
    build(simulation);
    ASSERT_FALSE(HasFatalFailure());
    app->start();
    ASSERT_NE(views->mainView(), nullptr);
}

app::Application& ViewFixture::makeApplication() {
    qtHost = std::make_unique<AnsweringHost>();
    qtHost->busyPaintDelayMs = 0;
    views = std::make_unique<program::QtViews>(*qtHost);
    return views->app();
}

void ViewFixture::destroyApplication() {
    AppFixture::destroyApplication();
    views.reset();
    qtHost.reset();
}

}  // namespace viewtest
