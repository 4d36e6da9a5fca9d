// The application with its script windows on a simulated bridge board of the test's own, a
// fixed clock and a scratch folder for script files.
#pragma once

#include <filesystem>
#include <string>

#include "script/frmScriptOps.h"
#include "testing/AppFixture.h"

namespace scripttest {

using apptest::in;
using apptest::out;

// Target 60: 1-byte registers, 05 = 0B, interrupt on PC4 set by a write to 10 and cleared by a
// read of 11. Target A0: 2-byte registers. Nothing answers at 62. All inputs high.
extern const char* const kScriptBench;

class ScriptFixture : public apptest::AppFixture {
  protected:
    // Makes the scratch folder; the board and the application wait for start().
    void SetUp() override;
    void TearDown() override;

    // Starts the program on a board made from the simulation text, then forgets the packets
    // and the log so far.
    void start(const char* simulation = kScriptBench);
    // Writes a script file into the scratch folder; returns its path.
    std::string writeScript(const std::string& name, const std::string& text);
    // Shows the shared script window, answering its open dialog with a new script file.
    script::frmScriptOps& openWindow(const std::string& text, const std::string& name = "t.txt");

    const std::string& cell(int row, script::Column column) const {
        return window->vbalGrid1.CellText(row, static_cast<int>(column));
    }
    script::CellColor color(int row, script::Column column) const {
        return window->vbalGrid1.CellBackColor(row, static_cast<int>(column));
    }
    script::ScriptRunState& run() { return scripts().runState(); }
    static std::string readFile(const std::filesystem::path& path);

    script::frmScriptOps* window = nullptr;
    std::filesystem::path dir;
};

}  // namespace scripttest
