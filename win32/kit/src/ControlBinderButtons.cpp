#include "win32kit/ControlBinder.h"

#include <commctrl.h>

#include "BinderLooks.h"
#include "Painted.h"
#include "form/PaintedCaption.h"
#include "win32kit/Text.h"

namespace win32kit {

HWND ControlBinder::create(form::Button& button, const form::ControlEntry& e, const Place& at) {
    HWND w =
        control(WC_BUTTONW, L"", WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 0, "Button", e, at);
    const Role role = e.role;
    items_[w].command = [this, w, role, run = e.events.click](WORD notification) {
        if (notification != BN_CLICKED) {
            return;
        }
        // A handler that hides its own button while it runs (Run All Steps) would leave the
        // focus elsewhere; the button takes it back once it shows again, so a second Enter runs
        // it again. The handler may close the window: the button is looked at only if it lives.
        const HWND clicked = w;
        const bool hadFocus = GetFocus() == clicked;
        runClick(
            run ? run : [] {}, role);
        if (hadFocus && IsWindow(clicked) && IsWindowVisible(clicked) && IsWindowEnabled(clicked) &&
            GetFocus() != clicked) {
            const HWND now = GetFocus();
            if (now == nullptr || GetAncestor(now, GA_ROOT) == GetAncestor(clicked, GA_ROOT)) {
                SetFocus(clicked);
            }
        }
    };
    struct State {
        Painted painted;
        form::PaintedCaption caption;
    };
    const bool bold = (at.geometry.style & form::StyleBold) != 0;
    core_.addPainter([this, w, &button, role, bold, s = State{}](bool busy) mutable {
        s.painted.paint(w, button, button.Enabled && !(busy && role == Role::Data));
        if (s.caption.changed(button.Caption, scaleGeneration_)) {
            setCaption(w, button.Caption, CaptionArea::Button, bold, *scale_);
        }
    });
    return w;
}

HWND ControlBinder::create(form::CheckBox& box, const form::ControlEntry& e, const Place& at) {
    HWND w =
        control(WC_BUTTONW, L"", WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE, 0, "CheckBox", e, at);
    const Role role = e.role;
    items_[w].command = [this, w, &box, role, onClick = e.events.click](WORD notification) {
        if (notification != BN_CLICKED || painting_) {
            return;
        }
        const int state = static_cast<int>(SendMessageW(w, BM_GETCHECK, 0, 0));
        const int value = state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
        runClick(form::BinderCore::tick(box, value, onClick), role);
    };
    struct State {
        Painted painted;
        form::PaintedCaption caption;
    };
    texts_.back() = [w, &box] { return narrow(windowText(w)) + '=' + std::to_string(box.Value); };
    const bool bold = (at.geometry.style & form::StyleBold) != 0;
    core_.addPainter([this, w, &box, role, bold, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled && !(busy && role == Role::Data));
        if (s.caption.changed(box.Caption, scaleGeneration_)) {
            setCaption(w, box.Caption, CaptionArea::CheckBox, bold, *scale_);
        }
        const WPARAM state = box.Value == 1   ? BST_CHECKED
                             : box.Value == 2 ? BST_INDETERMINATE
                                              : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(w, BM_GETCHECK, 0, 0)) != state) {
            painting_ = true;
            SendMessageW(w, BM_SETCHECK, state, 0);
            painting_ = false;
        }
    });
    return w;
}

}  // namespace win32kit
