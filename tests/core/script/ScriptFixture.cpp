#include "ScriptFixture.h"

#include <fstream>
#include <sstream>

namespace scripttest {

namespace fs = std::filesystem;

const char* const kScriptBench = R"({
  "name": "script tests",
  "attached": true,
  "inputs": { "PB": "FF", "PC": "FF" },
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00", "registers": { "05": "0B" },
      "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } },
    { "address": "A0", "register_bytes": 2, "fill": "FF" } ] })";

void ScriptFixture::SetUp() {
    dir = fs::path(testing::TempDir()) /
          ("script_engine_" +
           std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
}

void ScriptFixture::TearDown() {
    AppFixture::TearDown();
    fs::remove_all(dir);
}

void ScriptFixture::start(const char* simulation) {
    build(simulation);
    if (!HasFatalFailure()) {
        startQuietly();
    }
}

std::string ScriptFixture::writeScript(const std::string& name, const std::string& text) {
    fs::path path = dir / name;
    std::ofstream file(path, std::ios::binary);
    file << text;
    return path.string();
}

script::frmScriptOps& ScriptFixture::openWindow(const std::string& text, const std::string& name) {
    std::string path = writeScript(name, text);
    host.dialogAnswers.push_back({false, path, name});
    app->mainWindow().mnu_ScriptShow_Click();
    window = &scripts().sharedWindow();
    board->clearPacketLog();
    app->mainWindow().Txtlog.setText("");
    return *window;
}

std::string ScriptFixture::readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace scripttest
