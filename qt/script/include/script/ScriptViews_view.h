// The Qt windows of the script windows: one frmScriptOpsView for each script window the
// application shows (the shared one and every further copy). It turns a closed window into
// ScriptWindows::close and hides its windows when the program ends. A closed window's view and
// model are freed only once no handler runs, so a run in it ends safely. The program's QtViews
// owns it.
#pragma once

#include <QTimer>
#include <memory>
#include <vector>

#include "app/ScriptWindows.h"
#include "form/UserEventGate.h"
#include "script/frmScriptOps_view.h"

namespace kit {
class QtHost;
}

namespace script {

class ScriptViews {
  public:
    // Keeps the references; no view exists before the first show.
    ScriptViews(kit::QtHost& host, form::UserEventGate& gate, app::ScriptWindows& windows);
    // Closes the windows.
    ~ScriptViews();
    ScriptViews(const ScriptViews&) = delete;
    ScriptViews& operator=(const ScriptViews&) = delete;

    // Creates the window's view on first show, renders it and brings it to the front.
    void show(frmScriptOps& window);
    // Hides every open view (the program is ending).
    void hideAll();
    // The view of a script window; nullptr when it has none (never shown, or closed).
    frmScriptOpsView* viewOf(const frmScriptOps& window) const;
    // Every open view, in the order they were made.
    std::vector<frmScriptOpsView*> views() const;
    // Frees the views and windows closed so far unless a handler runs; then it tries again
    // shortly. Never fails.
    void collectClosed();

  private:
    void closed(frmScriptOps& window);

    kit::QtHost& host_;
    form::UserEventGate& gate_;
    app::ScriptWindows& windows_;
    std::vector<std::pair<const frmScriptOps*, std::unique_ptr<frmScriptOpsView>>> views_;
    std::vector<std::unique_ptr<frmScriptOpsView>> closed_;
    QTimer collect_;
};

}  // namespace script
