// The Win32 window of a script window model: the controls of its control table, the "File" menu,
// and the grid underneath them as a report-style list view that fills the rest of the window,
// each cell in its own colour. Every user event that may move data goes through the gate; the
// grid repaints only when its revision moved.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "script/frmScriptOps.h"
#include "win32views/TableWindow.h"

namespace win32views {

class ScriptWindow {
  public:
    // Builds the hidden window for `model`; `onClose` tells the owner the user closed it.
    ScriptWindow(script::frmScriptOps& model, form::UserEventGate& gate, win32kit::Win32Host& host,
                 std::function<void()> onClose);
    ~ScriptWindow();
    ScriptWindow(const ScriptWindow&) = delete;
    ScriptWindow& operator=(const ScriptWindow&) = delete;

    void show() { window_->show(); }
    void hide() { window_->hide(); }
    HWND grid() const { return grid_; }
    TableWindow& window() { return *window_; }

  private:
    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Refills the list view from the model's grid when it changed.
    void renderGrid();
    // The grid fills the client area below the controls.
    void placeGrid();
    // Cell colours for the list view's custom draw.
    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const;

    script::frmScriptOps& model_;
    win32kit::Win32Host& host_;
    std::unique_ptr<TableWindow> window_;
    HWND grid_ = nullptr;
    int rendererId_ = 0;
    std::uint64_t revision_ = ~std::uint64_t{0};
    int columns_ = -1;
};

}  // namespace win32views
