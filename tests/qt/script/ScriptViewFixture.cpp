#include "ScriptViewFixture.h"

#include <unistd.h>
#include <QAction>
#include <QTableView>
#include <fstream>

#include "script/ScriptGridModel_view.h"

namespace scriptviewtest {

namespace {

// Device 60 answers with 0B at register 05 and 0C at 06; nothing answers at 62.
const char* const kBench = R"({
  "name": "script view tests",
  "attached": true,
  "inputs": { "PB": "FF", "PC": "FF" },
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00",
      "registers": { "05": "0B", "06": "0C" } } ] })";

}  // namespace

void ScriptViewFixture::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          (std::string("scriptview_") + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    startOn(kBench);
}

void ScriptViewFixture::TearDown() {
    ViewFixture::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::string ScriptViewFixture::writeScript(const std::string& name, const std::string& text) {
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

script::frmScriptOpsView* ScriptViewFixture::openFromMenu(const std::string& text,
                                                          const std::string& name) {
    qtHost->openAnswers.push_back(writeScript(name, text));
    auto* entry = views->mainView()->findChild<QAction*>("mnu_ScriptShow");
    EXPECT_NE(entry, nullptr);
    if (entry == nullptr) {
        return nullptr;
    }
    entry->trigger();
    return scriptViews().viewOf(scripts().sharedWindow());
}

std::string ScriptViewFixture::shown(script::frmScriptOpsView* view, int row,
                                     script::Column column) {
    const QModelIndex index = view->gridModel()->index(row - 1, static_cast<int>(column) - 1);
    return view->gridModel()->data(index).toString().toStdString();
}

std::size_t ScriptViewFixture::i2cCommands() const {
    std::size_t count = 0;
    for (const auto& packet : board->packetLog()) {
        if (packet.endpoint == 2) {
            ++count;
        }
    }
    return count;
}

}  // namespace scriptviewtest
