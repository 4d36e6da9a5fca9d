#include "win32kit/ControlBinder.h"

#include <commctrl.h>

#include <cstdint>
#include <optional>

#include "BinderLooks.h"
#include "Painted.h"
#include "form/LogMirror.h"
#include "form/PaintedTextBox.h"
#include "win32kit/Guard.h"
#include "win32kit/Text.h"

namespace win32kit {

namespace {

// The focus left a text box for another control of its window: its lost-focus handler runs
// once the focus change is complete.
constexpr UINT kLostFocus = WM_APP + 1;

// The log's line breaks as the edit control wants them: CR LF.
std::wstring logText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    char previous = 0;
    for (char c : text) {
        if (c == '\n' && previous != '\r') {
            out.push_back('\r');
        }
        out.push_back(c);
        previous = c;
    }
    return wide(out);
}

}  // namespace

HWND ControlBinder::textBox(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    const DWORD align = (at.geometry.style & form::StyleCentred) != 0 ? ES_CENTER : ES_LEFT;
    HWND w = control(WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL | align, WS_EX_CLIENTEDGE,
                     "TextBox", e, at);
    SetWindowSubclass(w, &ControlBinder::editProc, kEditSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
    hooks_[w].events = e.events;
    items_[w].command = [this, w, &box](WORD notification) {
        if (notification != EN_CHANGE || painting_) {
            return;
        }
        const std::string text = narrow(windowText(w));
        box.setText(text);
        box.SelStart = box.characters();
    };
    struct State {
        Painted painted;
        form::PaintedTextBox box;
    };
    core_.addPainter([this, w, &box, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled);
        const form::PaintedTextBox::Changes c = s.box.update(box, busy);
        if (c.readOnlyChanged) {
            SendMessageW(w, EM_SETREADONLY, c.readOnly ? TRUE : FALSE, 0);
        }
        if (c.coloursChanged) {
            InvalidateRect(w, nullptr, TRUE);
        }
        if (c.textChanged) {
            const std::wstring text = wide(box.Text());
            if (windowText(w) != text) {
                SetWindowTextW(w, text.c_str());
            }
        }
    });
    // A locked box keeps the white of a box, as in the Qt program.
    items_[w].colour = [this, &box](HDC dc, HBRUSH& b) {
        const bool plain = box.BackColor == kDefaultBoxBack && box.ForeColor == kDefaultFore;
        const COLORREF back = plain ? GetSysColor(COLOR_WINDOW) : colour(box.BackColor);
        SetBkColor(dc, back);
        SetTextColor(dc, plain ? GetSysColor(COLOR_WINDOWTEXT) : colour(box.ForeColor));
        b = brush(back);
        return true;
    };
    return w;
}

HWND ControlBinder::log(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    HWND w = control(WC_EDITW, L"",
                     WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                         ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                     WS_EX_CLIENTEDGE, "Log", e, at);
    // No limit but memory: the model keeps the log to its budget.
    SendMessageW(w, EM_SETLIMITTEXT, 0, 0);
    items_[w].colour = [](HDC dc, HBRUSH& b) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        b = GetSysColorBrush(COLOR_WINDOW);
        return true;
    };
    texts_.back() = [&box] { return box.Text(); };
    // The edit control drops no lines itself: a drop rewrites the whole text.
    struct State {
        Painted painted;
        form::LogMirror mirror;
    };
    core_.addPainter([w, &box, s = State{}](bool) mutable {
        s.painted.paint(w, box, box.Enabled);
        const std::optional<form::LogMirror::Change> change = s.mirror.update(box, false);
        if (!change) {
            return;
        }
        const std::string_view text = box.Text();
        if (change->whole) {
            SetWindowTextW(w, logText(text).c_str());
        } else {
            const int length = GetWindowTextLengthW(w);
            SendMessageW(w, EM_SETSEL, length, length);
            SendMessageW(
                w, EM_REPLACESEL, FALSE,
                reinterpret_cast<LPARAM>(logText(text.substr(change->appendFrom)).c_str()));
        }
        const int length = GetWindowTextLengthW(w);
        SendMessageW(w, EM_SETSEL, length, length);
        SendMessageW(w, EM_SCROLLCARET, 0, 0);
    });
    return w;
}

LRESULT CALLBACK ControlBinder::editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
    LRESULT result = 0;
    // A handler that throws has the message dropped; the program goes on.
    guarded("text box message", [&] {
        result =
            reinterpret_cast<ControlBinder*>(self)->editMessage(window, message, wParam, lParam);
    });
    return result;
}

std::wstring ControlBinder::filtered(const std::function<void(int&)>& keyPress,
                                     std::wstring_view text) {
    std::wstring kept;
    for (wchar_t c : text) {
        // A pasted line break or control character is not a key: it neither types nor presses
        // Enter.
        if (c < L' ' || c == 127) {
            continue;
        }
        int code = c;
        if (!dispatch([&keyPress, &code] { keyPress(code); })) {
            return {};
        }
        if (code != 0 && code != 13) {
            kept.push_back(static_cast<wchar_t>(code));
        }
    }
    return kept;
}

std::wstring ControlBinder::clipboardText(HWND owner) {
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data)); chars != nullptr) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

LRESULT ControlBinder::editMessage(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = hooks_.find(w);
    if (found == hooks_.end()) {
        return DefSubclassProc(w, message, wParam, lParam);
    }
    Hooks& h = found->second;
    switch (message) {
        case WM_GETDLGCODE: {
            // Enter belongs to a box with a key handler, not to the window's default button.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const LRESULT code = DefSubclassProc(w, message, wParam, lParam);
            if (h.events.keyPress && msg != nullptr &&
                (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
                msg->wParam == VK_RETURN) {
                return code | DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_CHAR: {
            // Every character, those beyond Latin-1 too, goes through the key handler.
            const int typed = static_cast<int>(wParam);
            if (core_.busy()) {
                return 0;  // no typing into a box that an operation may be reading
            }
            if (!h.events.keyPress) {
                return DefSubclassProc(w, message, wParam, lParam);
            }
            int code = typed;
            auto run = h.events.keyPress;
            if (!dispatch([&run, &code] { run(code); })) {
                return 0;
            }
            if (code == 0 || code == 13) {
                return 0;
            }
            return DefSubclassProc(w, message, static_cast<WPARAM>(code), lParam);
        }
        case WM_PASTE: {
            // Ctrl+V and the context menu's Paste come here: the clipboard's text goes through
            // the key handler character by character, and only what it keeps is typed.
            if (core_.busy()) {
                return 0;
            }
            if (!h.events.keyPress || (GetWindowLongW(w, GWL_STYLE) & ES_READONLY) != 0) {
                break;
            }
            const std::wstring kept = filtered(h.events.keyPress, clipboardText(w));
            if (!kept.empty()) {
                SendMessageW(w, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
            }
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            // The release that ends a double click is not a second click.
            h.afterDoubleClick = true;
            if (h.events.doubleClick) {
                auto run = h.events.doubleClick;
                dispatch(run);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            h.afterDoubleClick = false;
            break;
        case WM_LBUTTONUP: {
            const LRESULT result = DefSubclassProc(w, message, wParam, lParam);
            if (h.afterDoubleClick) {
                h.afterDoubleClick = false;
                return result;
            }
            RECT r{};
            GetClientRect(w, &r);
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (h.events.click && PtInRect(&r, p)) {
                auto run = h.events.click;
                dispatch(run);
            }
            return result;
        }
        case WM_KILLFOCUS: {
            const auto to = reinterpret_cast<HWND>(wParam);
            // Only a move to another control of the same window, as when the user tabs on.
            if (h.events.lostFocus && to != nullptr &&
                GetAncestor(to, GA_ROOT) == GetAncestor(w, GA_ROOT)) {
                PostMessageW(w, kLostFocus, 0, 0);
            }
            break;
        }
        case kLostFocus: {
            auto run = h.events.lostFocus;
            if (run) {
                dispatch(run);
            }
            return 0;
        }
        default:
            break;
    }
    return DefSubclassProc(w, message, wParam, lParam);
}

}  // namespace win32kit
