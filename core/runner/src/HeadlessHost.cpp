#include "runner/HeadlessHost.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "board/TextHelpers.h"
#include "wd_utils.h"

namespace runner {

void HeadlessHost::doEvents() {
    WDU_VB_PumpEvents();
    if (onYield) {
        onYield();
    }
}

void HeadlessHost::sleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

form::MsgResult HeadlessHost::messageBox(const std::string& text, form::MsgButtons buttons,
                                         const std::string&) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    if (heldMessages != nullptr) {
        heldMessages->push_back(line);
        return buttons == form::MsgButtons::OkCancel ? okCancelAnswer : form::MsgResult::Ok;
    }
    messages_ << "message: " << line << '\n';
    messages_.flush();
    return buttons == form::MsgButtons::OkCancel ? okCancelAnswer : form::MsgResult::Ok;
}

form::FileDialogResult HeadlessHost::openFileDialog(const form::FileDialogRequest&) {
    form::FileDialogResult result;
    if (openAnswers.empty()) {
        return result;
    }
    result.cancelled = false;
    result.path = openAnswers.front();
    result.title = board::fileTitle(result.path);
    openAnswers.pop_front();
    return result;
}

form::FileDialogResult HeadlessHost::saveFileDialog(const form::FileDialogRequest&) {
    form::FileDialogResult result;
    if (!saveAnswer.empty()) {
        result.cancelled = false;
        result.path = saveAnswer;
        result.title = board::fileTitle(saveAnswer);
    }
    return result;
}

form::LocalDateTime HeadlessHost::now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace runner
