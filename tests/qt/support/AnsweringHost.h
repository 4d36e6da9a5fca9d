// The Qt host with the modal dialogs answered by the test: open dialogs take the next queued
// path (none = cancelled), message boxes are recorded and answered by `onMessage` (Ok when
// empty). With `systemDialogs` the file dialogs are the program's own, for the test to drive.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "kit/QtHost.h"

namespace viewtest {

class AnsweringHost : public kit::QtHost {
  public:
    // Records the text; answers with onMessage, or Ok without one.
    form::MsgResult messageBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) override;
    // Takes the next queued path; cancelled when none is queued.
    form::FileDialogResult openFileDialog(const form::FileDialogRequest& request) override;
    // Always cancelled.
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest& request) override;

    std::deque<std::string> openAnswers;
    bool systemDialogs = false;
    std::vector<std::string> messages;
    std::function<form::MsgResult(const std::string&)> onMessage;
};

}  // namespace viewtest
