// The Win32 window of a script window model: the controls of its control table, the "File" menu,
// and the grid underneath them as a report-style list view that fills the rest of the window,
// each cell in its own colour. Every user event that may move data goes through the gate; the
// grid is an owner-data list view that repaints only the rows that changed.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    // The tooltip that shows a cell's tip (a row's findings on its line-number cell).
    HWND tips() const { return tips_; }
    TableWindow& window() { return *window_; }

  private:
    win32kit::Scale& scale();
    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Follows the model's grid when it changed: the row count, and a repaint of each row whose
    // texts or colours differ from those shown.
    void renderGrid();
    // Answers the owner-data list view's request for a cell's text.
    void cellText(NMLVDISPINFOW& info);
    static LRESULT CALLBACK gridProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    // A key pressed in the grid reaches the model's KeyDown handler through the gate first; the
    // list's own handling (moving the selection) runs only when the handler leaves doDefault.
    LRESULT gridMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The pointer rests at `at` (grid client coordinates): the cell there shows its tip, if any.
    void hover(POINT at);
    // No cell is under the pointer any more (the rows changed or scrolled): its tip goes.
    void forgetHover();
    // The grid fills the client area below the controls.
    void placeGrid();
    // Cell colours for the list view's custom draw.
    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const;

    script::frmScriptOps& model_;
    win32kit::Win32Host& host_;
    std::unique_ptr<TableWindow> window_;
    HWND grid_ = nullptr;
    HWND tips_ = nullptr;
    // The cell under the pointer (row, column), {0, 0} for none.
    std::pair<int, int> hovered_{0, 0};
    int rendererId_ = 0;
    std::uint64_t revision_ = ~std::uint64_t{0};
    int columns_ = -1;
    // The rows as last shown: each cell's text and colour.
    std::vector<std::vector<std::pair<std::string, script::CellColor>>> shown_;
};

}  // namespace win32views
