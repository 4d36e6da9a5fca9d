// A fixed-size Win32 window whose controls all come from a model's control table (the GPIO
// panel, the About box, the start-up window): it repaints from the model after each handler and
// at the host's yields, follows the model's caption and visibility, and tells its owner when the
// user closes it. Enter and Esc press the default button when there is one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "form/ControlTable.h"
#include "form/MenuTable.h"
#include "form/Window.h"
#include "win32kit/ControlBinder.h"

namespace win32kit {
class Win32Host;
}

namespace win32views {

class TableWindow : public win32kit::MessageTarget {
  public:
    // What the window is made of; `onClose` runs when the user closes the window (the close
    // box, Alt+F4), `withMenu` adds a menu to be filled through binder().
    struct Design {
        int clientWidth;   // twips
        int clientHeight;  // twips
        std::function<void()> onClose;
        bool withMenu = false;
        // Follow the model's Visible (show and hide the window as the model says).
        bool followVisible = false;
        // A window the user may resize (the script window's grid fills it).
        bool resizable = false;
        // Sees each message of the window first; true when it handled it.
        std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)> messages{};
    };

    // Builds the hidden window of `model` from `table`, with a menu bar built from `menus` when
    // that is not empty.
    TableWindow(form::Window& model, const form::ControlTable& table, form::UserEventGate& gate,
                win32kit::Win32Host& host, Design design, const form::MenuTable& menus = {});
    ~TableWindow() override;
    TableWindow(const TableWindow&) = delete;
    TableWindow& operator=(const TableWindow&) = delete;

    // Paints every control from the model.
    void render();
    // Shows the window and brings it to the front.
    void show();
    void hide();
    // The window moved to a screen of `dpi` (WM_DPICHANGED): its controls take their places and
    // fonts at the new DPI and it moves to the rectangle Windows suggests, keeping its design's
    // client size unless the user may resize it.
    void changeDpi(int dpi, const RECT& suggested);
    HWND handle() const { return window_; }
    win32kit::ControlBinder& binder() { return binder_; }
    // Enter and Esc press this button (the About box's OK).
    void setDefaultButton(const form::Control& button);

    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT& result) override;

  private:
    form::Window& model_;
    win32kit::Win32Host& host_;
    win32kit::ControlBinder binder_;
    Design design_;
    int rendererId_ = 0;
    HWND window_ = nullptr;
    HWND defaultButton_ = nullptr;
    std::string paintedCaption_;
};

}  // namespace win32views
