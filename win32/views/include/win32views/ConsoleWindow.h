// The Win32 window of the register console: controls built from the model's control table, the
// register panel in a scrolling pane on the first tab, the log on the second, the menu bar. Every
// user event that may move data goes through the application's gate; the window repaints from
// the model after each handler and at the host's yields.
#pragma once

#include <windows.h>

#include <functional>

#include "console/frmI2C_General.h"
#include "win32kit/ControlBinder.h"

namespace win32kit {
class Win32Host;
}

namespace win32views {

class ConsoleWindow : public win32kit::MessageTarget {
  public:
    // Builds the hidden window for `model`; `requestClose` asks the application to close it and
    // says whether it may (false while the board connection is open).
    ConsoleWindow(console::frmI2C_General& model, form::UserEventGate& gate,
                  win32kit::Win32Host& host, std::function<bool()> requestClose);
    ~ConsoleWindow() override;
    ConsoleWindow(const ConsoleWindow&) = delete;
    ConsoleWindow& operator=(const ConsoleWindow&) = delete;

    // Paints every control from the model.
    void render();
    HWND handle() const { return window_; }
    win32kit::ControlBinder& binder() { return binder_; }

    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT& result) override;

  private:
    win32kit::Scale& scale() { return binder_.scale(); }
    // Places the tabs, pages and the status strip for the client area, and tells the model.
    void arrange();
    void showPage(int tab);
    // The window moved to a screen of `dpi`: controls, fonts and pages at the new DPI, the window
    // at the rectangle Windows suggests.
    void changeDpi(int dpi, const RECT& suggested);
    // Gives the window a client area `width` pixels wide and as high as the design area with the
    // status strip when it shows.
    void sizeClient(int width);
    // Scrolls the register panel on one bar after the user moved it.
    void scroll(int bar, WORD request);
    void updateScrollBars();
    // Moves the register panel to the scroll bars' positions.
    void placeInner();

    console::frmI2C_General& model_;
    win32kit::Win32Host& host_;
    win32kit::ControlBinder binder_;
    std::function<bool()> requestClose_;
    int rendererId_ = 0;
    HWND window_ = nullptr;
    HWND tabs_ = nullptr;
    HWND pbouter_ = nullptr;
    HWND pbinner_ = nullptr;
    HWND logPage_ = nullptr;
    HWND cbNoc_ = nullptr;
    HWND lastFocus_ = nullptr;
    int paintedTab_ = 0;
    std::string paintedCaption_;
    bool stripShown_ = false;
};

}  // namespace win32views
