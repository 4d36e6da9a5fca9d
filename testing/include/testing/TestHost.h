// A Host for tests and benchmarks: counts yields, runs hooks at chosen yields, answers dialogs
// from a queue and keeps virtual time, so nothing sleeps for real.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "form/Host.h"

namespace form {

class TestHost : public Host {
  public:
    struct Message {
        std::string text;
        std::string title;
        MsgButtons buttons;
    };
    // A file dialog asked for: its request, and whether it was the open or the save dialog.
    enum class Dialog { Open, Save };
    struct AskedDialog : FileDialogRequest {
        Dialog dialog = Dialog::Open;
    };

    void doEvents() override;
    void sleepMs(int ms) override;
    MsgResult messageBox(const std::string& text, MsgButtons buttons,
                         const std::string& title) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    LocalDateTime now() override { return clock; }

    // Runs at every yield after the hooks, e.g. WDU_VB_PumpEvents.
    std::function<void()> pump;
    // Runs once, at the yield with this 1-based number (counted over the host's life).
    void atYield(long yieldNumber, std::function<void()> hook);

    long yields = 0;
    long sleptMs = 0;
    LocalDateTime clock{2026, 12, 7, 14, 5, 9};
    std::vector<Message> messages;               // every message box shown
    std::deque<MsgResult> messageAnswers;        // answers for OK/Cancel boxes; Ok when empty
    std::deque<FileDialogResult> dialogAnswers;  // answers for file dialogs; cancelled when empty
    std::vector<AskedDialog> dialogRequests;     // every file dialog asked for

  private:
    FileDialogResult answerDialog(const FileDialogRequest& request, Dialog dialog);
    std::map<long, std::vector<std::function<void()>>> hooks_;
};

}  // namespace form
