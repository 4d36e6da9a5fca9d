// The Qt windows of the script windows: one frmScriptOpsView for each script window the
// application shows (the shared one and every further copy). It joins the application's
// showWindow hook in front of the other windows' views, hides its windows when the program
// ends, and turns a closed window into ScriptWindows::close. A closed window's view and model
// are freed only once no handler runs, so a run in it ends safely.
#pragma once

#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "script/frmScriptOps_view.h"

namespace kit {
class QtHost;
}

namespace script {

class ScriptViews {
  public:
    // Takes over the application's showWindow and onQuit hooks, passing on what is not a
    // script window; create it after the other windows' views and destroy it before them.
    ScriptViews(app::Application& app, kit::QtHost& host, app::ScriptWindows& windows);
    // Gives the hooks back and closes the windows.
    ~ScriptViews();
    ScriptViews(const ScriptViews&) = delete;
    ScriptViews& operator=(const ScriptViews&) = delete;

    // The view of a script window; nullptr when it has none (never shown, or closed).
    frmScriptOpsView* viewOf(const frmScriptOps& window) const;
    // Every open view, in the order they were made.
    std::vector<frmScriptOpsView*> views() const;
    // Frees the views and windows closed so far unless a handler runs; then it tries again
    // shortly. Never fails.
    void collectClosed();

  private:
    void show(form::Window& window);
    void closed(frmScriptOps& window);
    void quit();

    app::Application& app_;
    kit::QtHost& host_;
    app::ScriptWindows& windows_;
    std::function<void(form::Window&)> nextShow_;
    std::function<void()> nextQuit_;
    std::vector<std::pair<const frmScriptOps*, std::unique_ptr<frmScriptOpsView>>> views_;
    std::vector<std::unique_ptr<frmScriptOpsView>> closed_;
    QTimer collect_;
};

}  // namespace script
