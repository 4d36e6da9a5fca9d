// A Host without a display, for running scripts from a shell: yields deliver USB events, sleeps
// are real, message boxes become "message: TEXT" lines on stderr, and dialogs are answered from
// what the command line said.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "form/Host.h"

namespace runner {

class HeadlessHost : public form::Host {
  public:
    explicit HeadlessHost(std::ostream& messages) : messages_(messages) {}

    void doEvents() override;
    void sleepMs(int ms) override;
    form::MsgResult messageBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) override;
    form::FileDialogResult openFileDialog(const form::FileDialogRequest& request) override;
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest& request) override;
    form::LocalDateTime now() override;

    // The answer to every OK/Cancel box.
    form::MsgResult okCancelAnswer = form::MsgResult::Ok;
    // Paths the next open dialogs return, in order; once empty, a dialog is cancelled.
    std::deque<std::string> openAnswers;
    // Path the save dialogs return; empty = cancelled.
    std::string saveAnswer;
    // Runs at every yield, after the USB events (progress output).
    std::function<void()> onYield;
    // When set, message texts are kept here instead of being written out, so that the caller
    // can report them in its own words.
    std::vector<std::string>* heldMessages = nullptr;

  private:
    std::ostream& messages_;
};

}  // namespace runner
