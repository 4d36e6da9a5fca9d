#include "testing/TestHost.h"

namespace form {

void TestHost::doEvents() {
    ++yields;
    auto it = hooks_.find(yields);
    if (it != hooks_.end()) {
        auto due = std::move(it->second);
        hooks_.erase(it);
        for (auto& hook : due) {
            hook();
        }
    }
    if (pump) {
        pump();
    }
}

void TestHost::sleepMs(int ms) {
    if (ms > 0) {
        sleptMs += ms;
    }
}

MsgResult TestHost::messageBox(const std::string& text, MsgButtons buttons,
                               const std::string& title) {
    messages.push_back({text, title, buttons});
    if (buttons == MsgButtons::Ok || messageAnswers.empty()) {
        return MsgResult::Ok;
    }
    MsgResult answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

FileDialogResult TestHost::openFileDialog(const FileDialogRequest& request) {
    return answerDialog(request, Dialog::Open);
}

FileDialogResult TestHost::saveFileDialog(const FileDialogRequest& request) {
    return answerDialog(request, Dialog::Save);
}

FileDialogResult TestHost::answerDialog(const FileDialogRequest& request, Dialog dialog) {
    dialogRequests.push_back({request, dialog});
    if (dialogAnswers.empty()) {
        return {};
    }
    FileDialogResult answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

void TestHost::atYield(long yieldNumber, std::function<void()> hook) {
    hooks_[yieldNumber].push_back(std::move(hook));
}

}  // namespace form
