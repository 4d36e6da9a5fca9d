// The program's Host on Win32: a yield paints the windows from their models (at most about every
// 16 ms, and always after a user event's handler), runs pending window messages (with the dialog
// keys: Tab, Enter, Esc) and delivers queued USB attach/detach events; a timer delivers them while
// nothing else runs. Message boxes and file dialogs are the system's own.
#pragma once

#include <windows.h>

#include <map>

#include "form/BinderHost.h"
#include "form/Host.h"

namespace win32kit {

class Win32Host : public form::Host, public form::BinderHost {
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

    // The shortcut keys of `window`'s menu entries: a key message for the window or one of its
    // controls is translated to the entry's command before the dialog keys see it. A null table
    // forgets the window's; the caller keeps and frees the table.
    void setAccelerators(HWND window, HACCEL table);

    // Yields seen so far, for tests.
    long yields() const { return yields_; }

  protected:
    // Notes the time of the paint, for the repaint interval.
    void painted() override;

  private:
    // Runs one message through the menu shortcuts and the dialog keys of its top-level window,
    // then dispatches it.
    void deliver(MSG& msg);
    // Runs every pending message; false once a quit was met.
    bool pump();
    form::FileDialogResult fileDialog(const form::FileDialogRequest& request, bool save);
    static void CALLBACK idlePump(HWND, UINT, UINT_PTR, DWORD);

    std::map<HWND, HACCEL> accelerators_;
    bool quitting_ = false;
    int quitCode_ = 0;
    long yields_ = 0;
    ULONGLONG lastRender_ = 0;
    UINT_PTR timer_ = 0;
};

}  // namespace win32kit
