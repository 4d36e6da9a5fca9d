// The whole program with its Qt windows and script windows on a fresh simulated bridge board,
// offscreen, with a host that answers the file dialogs and message boxes itself, and a scratch
// folder for script files.
#pragma once

#include <filesystem>
#include <string>

#include "ViewFixture.h"
#include "script/ScriptViews_view.h"

namespace scriptviewtest {

class ScriptViewFixture : public viewtest::ViewFixture {
  protected:
    // Makes the scratch folder and starts the program on the script view tests' board.
    void SetUp() override;
    void TearDown() override;
    // Writes a script file into the scratch folder; returns its path.
    std::string writeScript(const std::string& name, const std::string& text);
    // Chooses "File" > "Open" > "Script Execution" in the main window, answering the open
    // dialog with a new script file; returns the shared script window's view.
    script::frmScriptOpsView* openFromMenu(const std::string& text,
                                           const std::string& name = "t.txt");
    // A widget of a script window by its control name.
    template <class W>
    W* find(script::frmScriptOpsView* view, const char* name) {
        W* w = view == nullptr ? nullptr : view->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // The text of a grid cell as the table shows it (row and column from 1).
    std::string shown(script::frmScriptOpsView* view, int row, script::Column column);
    // Packets on the I2C command endpoint (2).
    std::size_t i2cCommands() const;

    script::ScriptViews& scriptViews() { return views->scriptViews(); }

    std::filesystem::path dir;
};

}  // namespace scriptviewtest
