// Platform services the window logic needs: yields, sleeps, dialogs, clock. The Qt program and
// the headless runner implement it for real; tests use TestHost.
#pragma once

#include <string>
#include <vector>

namespace form {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel };

struct FileDialogRequest {
    std::string title;
    std::string fileName;              // initial name, may be empty
    std::vector<std::string> filters;  // "Text (*.txt)" style entries
    int filterIndex = 0;               // 0-based selected filter
    std::string defaultExt;            // without the dot
};

struct FileDialogResult {
    bool cancelled = true;
    std::string path;   // full path
    std::string title;  // file name without folder
};

class Host {
  public:
    virtual ~Host() = default;
    // Processes pending window events and delivers queued USB attach/detach events.
    virtual void doEvents() = 0;
    // Waits; a real host keeps the window painted while it waits.
    virtual void sleepMs(int ms) = 0;
    // A modal message box.
    virtual MsgResult messageBox(const std::string& text, MsgButtons buttons,
                                 const std::string& title) = 0;
    // A modal open or save dialog; cancelled when the user backs out.
    virtual FileDialogResult openFileDialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult saveFileDialog(const FileDialogRequest& request) = 0;
    // The local date and time of day.
    virtual LocalDateTime now() = 0;
};

}  // namespace form
