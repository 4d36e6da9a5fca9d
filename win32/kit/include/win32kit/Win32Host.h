// The program's Host on Win32: a yield paints the windows from their models (at most about every
// 16 ms, and always after a user event's handler), runs pending window messages (with the dialog
// keys: Tab, Enter, Esc) and delivers queued USB attach/detach events; a timer delivers them while
// nothing else runs. Message boxes and file dialogs are the system's own.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "form/Host.h"

namespace win32kit {

class Win32Host : public form::Host {
  public:
    // Starts the idle timer that delivers USB events while nothing else runs; one host per thread.
    Win32Host();
    ~Win32Host() override;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    // Pumps USB events, runs pending messages and repaints when the last paint is older than the
    // repaint interval. Never fails; a quit request met here is kept for the message loop.
    void doEvents() override;
    // Waits while running messages, so windows keep painting and USB events keep arriving.
    void sleepMs(int ms) override;
    // A modal MessageBox centred on the active window; Cancel only when the user chose it.
    form::MsgResult messageBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) override;
    // The system's open and save dialogs; cancelled when the user backs out.
    form::FileDialogResult openFileDialog(const form::FileDialogRequest& request) override;
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest& request) override;
    // The local date and time of day.
    form::LocalDateTime now() override;

    // Runs messages until the program quits; returns the quit code.
    int run();
    // True once a quit was posted.
    bool quitting() const { return quitting_; }

    // Adds a painter that renders one window from its model; returns an id for removeRenderer.
    int addRenderer(std::function<void()> render);
    // Forgets a painter; unknown ids are ignored.
    void removeRenderer(int id);
    // Paints every window from its model now.
    void renderAll();
    // A user event's handler starts: the clock for busyPaintDelayMs.
    void operationStarts() { operationStart_ = GetTickCount64(); }
    // Milliseconds since the last operationStarts().
    ULONGLONG operationAgeMs() const { return GetTickCount64() - operationStart_; }
    // Data controls look disabled only once an operation has run this long, so the quick
    // automatic exchanges do not flicker; they refuse input from the first moment either way.
    ULONGLONG busyPaintDelayMs = 100;

    // Yields seen so far, for tests.
    long yields() const { return yields_; }

  private:
    // Runs one message through the dialog keys of its top-level window, then dispatches it.
    static void deliver(MSG& msg);
    // Runs every pending message; false once a quit was met.
    bool pump();
    form::FileDialogResult fileDialog(const form::FileDialogRequest& request, bool save);
    static void CALLBACK idlePump(HWND, UINT, UINT_PTR, DWORD);

    struct Renderer {
        int id;
        std::function<void()> render;
    };
    std::vector<Renderer> renderers_;
    int nextId_ = 1;
    bool rendering_ = false;
    bool quitting_ = false;
    int quitCode_ = 0;
    long yields_ = 0;
    ULONGLONG lastRender_ = 0;
    ULONGLONG operationStart_ = 0;
    UINT_PTR timer_ = 0;
};

}  // namespace win32kit
