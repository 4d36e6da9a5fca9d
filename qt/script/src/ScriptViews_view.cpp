#include "script/ScriptViews_view.h"

#include <algorithm>

namespace script {

namespace {

// How soon a closed window is freed once its run is over.
constexpr int kCollectRetryMs = 50;

}  // namespace

ScriptViews::ScriptViews(app::Application& app, kit::QtHost& host, app::ScriptWindows& windows)
    : app_(app), host_(host), windows_(windows) {
    nextShow_ = std::move(app_.showWindow);
    nextQuit_ = std::move(app_.onQuit);
    app_.showWindow = [this](form::Window& window) { show(window); };
    app_.onQuit = [this] { quit(); };
    collect_.setSingleShot(true);
    collect_.setInterval(0);
    QObject::connect(&collect_, &QTimer::timeout, [this] { collectClosed(); });
}

ScriptViews::~ScriptViews() {
    collect_.stop();
    app_.showWindow = std::move(nextShow_);
    app_.onQuit = std::move(nextQuit_);
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

void ScriptViews::show(form::Window& window) {
    auto* script = dynamic_cast<frmScriptOps*>(&window);
    if (script == nullptr) {
        if (nextShow_) {
            nextShow_(window);
        }
        return;
    }
    frmScriptOpsView* view = viewOf(*script);
    if (view == nullptr) {
        auto made = std::make_unique<frmScriptOpsView>(*script, app_.gate(), host_,
                                                       [this, script] { closed(*script); });
        view = made.get();
        views_.emplace_back(script, std::move(made));
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
    if (app_.gate().busy()) {
        collect_.start(kCollectRetryMs);
        return;
    }
    closed_.clear();
    windows_.collectClosed();
}

void ScriptViews::quit() {
    for (const auto& v : views_) {
        v.second->hide();
    }
    if (nextQuit_) {
        nextQuit_();
    }
}

}  // namespace script
