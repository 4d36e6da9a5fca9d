#include "AnsweringHost.h"

#include <filesystem>

namespace viewtest {

form::MsgResult AnsweringHost::messageBox(const std::string& text, form::MsgButtons,
                                          const std::string&) {
    messages.push_back(text);
    return onMessage ? onMessage(text) : form::MsgResult::Ok;
}

form::FileDialogResult AnsweringHost::openFileDialog(const form::FileDialogRequest& request) {
    if (systemDialogs) {
        return QtHost::openFileDialog(request);
    }
    form::FileDialogResult result;
    if (!openAnswers.empty()) {
        result.cancelled = false;
        result.path = openAnswers.front();
        result.title = std::filesystem::path(result.path).filename().string();
        openAnswers.pop_front();
    }
    return result;
}

form::FileDialogResult AnsweringHost::saveFileDialog(const form::FileDialogRequest& request) {
    return systemDialogs ? QtHost::saveFileDialog(request) : form::FileDialogResult{};
}

}  // namespace viewtest
