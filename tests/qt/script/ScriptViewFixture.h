// The whole program with its Qt windows and script windows on a fresh simulated bridge board,
// offscreen, with a host that answers the file dialogs and message boxes itself.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "script/ScriptViews_view.h"

namespace scriptviewtest {

// The Qt host with the modal dialogs answered by the test: open dialogs take the next queued
// path (none = cancelled), message boxes are recorded and answered by `onMessage` (Ok when
// empty).
class AnsweringHost : public kit::QtHost {
  public:
    form::MsgResult messageBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) override;
    form::FileDialogResult openFileDialog(const form::FileDialogRequest& request) override;
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest& request) override;

    std::deque<std::string> openAnswers;
    std::vector<std::string> messages;
    std::function<form::MsgResult(const std::string&)> onMessage;
};

class ScriptViewFixture : public ::testing::Test {
  protected:
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

    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<AnsweringHost> host;
    std::unique_ptr<app::Application> app;
    std::unique_ptr<program::QtViews> views;
    std::unique_ptr<app::ScriptWindows> windows;
    std::unique_ptr<script::ScriptViews> scriptViews;
    std::filesystem::path dir;
};

}  // namespace scriptviewtest
