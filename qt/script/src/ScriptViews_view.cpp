#include "script/ScriptViews_view.h"

#include <algorithm>

namespace script {

namespace {

// How soon a closed window is freed once its run is over.
constexpr int kCollectRetryMs = 50;

}  // namespace

ScriptViews::ScriptViews(kit::QtHost& host, form::UserEventGate& gate, app::ScriptWindows& windows)
    : host_(host), gate_(gate), windows_(windows) {
    collect_.setSingleShot(true);
    collect_.setInterval(0);
    QObject::connect(&collect_, &QTimer::timeout, [this] { collectClosed(); });
}

ScriptViews::~ScriptViews() {
    collect_.stop();
    views_.clear();
    closed_.clear();
}

frmScriptOpsView* ScriptViews::viewOf(const frmScriptOps& window) const {
    auto found = std::find_if(views_.begin(), views_.end(),
                              [&window](const auto& v) { return v.first == &window; });
    return found == views_.end() ? nullptr : found->second.get();
}

std::vector<frmScriptOpsView*> ScriptViews::views() const {
    std::vector<frmScriptOpsView*> result;
    for (const auto& v : views_) {
        result.push_back(v.second.get());
    }
    return result;
}

void ScriptViews::show(frmScriptOps& window) {
    frmScriptOpsView* view = viewOf(window);
    if (view == nullptr) {
        auto made = std::make_unique<frmScriptOpsView>(window, gate_, host_,
                                                       [this, &window] { closed(window); });
        view = made.get();
        views_.emplace_back(&window, std::move(made));
    }
    view->render();
    view->show();
    view->raise();
    view->activateWindow();
}

void ScriptViews::closed(frmScriptOps& window) {
    auto found = std::find_if(views_.begin(), views_.end(),
                              [&window](const auto& v) { return v.first == &window; });
    if (found == views_.end()) {
        return;
    }
    windows_.close(window);
    found->second->hide();
    closed_.push_back(std::move(found->second));
    views_.erase(found);
    collect_.start(0);
}

void ScriptViews::collectClosed() {
    if (gate_.busy()) {
        collect_.start(kCollectRetryMs);
        return;
    }
    closed_.clear();
    windows_.collectClosed();
}

void ScriptViews::hideAll() {
    for (const auto& v : views_) {
        v.second->hide();
    }
}

}  // namespace script
