#include "win32kit/ControlBinder.h"

#include <commctrl.h>

#include <utility>
#include <variant>

#include "BinderLooks.h"
#include "win32kit/Guard.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32kit {

ControlBinder::ControlBinder(form::UserEventGate& gate, Win32Host& host)
    : core_(gate, host), host_(host), scale_(std::make_unique<Scale>(systemDpi())) {}

ControlBinder::~ControlBinder() {
    for (auto& [w, hooks] : hooks_) {
        RemoveWindowSubclass(w, &ControlBinder::editProc, kEditSubclass);
    }
    for (auto& [c, b] : brushes_) {
        DeleteObject(b);
    }
    if (shortcutTable_ != nullptr) {
        host_.setAccelerators(menuOwner_, nullptr);
        DestroyAcceleratorTable(shortcutTable_);
    }
}

void ControlBinder::addContainer(std::string_view name, int index, HWND window, int topShift) {
    containers_.add(name, index, window, topShift);
}

void ControlBinder::build(const form::ControlTable& table) {
    containers_.place(table, [this](const form::ControlEntry& e, HWND parent,
                                    const form::ControlGeometry& geometry) {
        return make(e, Place{parent, geometry});
    });
    // Frames were made first; the tab order runs in table order, which Windows takes from the
    // order of the siblings.
    for (const Built& b : built_) {
        SetWindowPos(b.window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

HWND ControlBinder::window(const form::Control& control) const {
    auto found = windows_.find(&control);
    return found == windows_.end() ? nullptr : found->second;
}

std::string ControlBinder::describe() const {
    std::string out;
    for (std::size_t k = 0; k < built_.size(); ++k) {
        out += built_[k].name + '\t' + texts_[k]() + '\n';
    }
    return out;
}

HWND ControlBinder::make(const form::ControlEntry& e, const Place& at) {
    const form::Control* model = nullptr;
    HWND made = std::visit(
        [&](auto* c) -> HWND {
            model = c;
            return create(*c, e, at);
        },
        e.control);
    windows_[model] = made;
    tip(made, *model);
    return made;
}

HWND ControlBinder::create(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    return (e.geometry.style & form::StyleMultiLine) != 0 ? log(box, e, at) : textBox(box, e, at);
}

HWND ControlBinder::create(form::Label& label, const form::ControlEntry& e, const Place& at) {
    return e.columns.empty() ? this->label(label, e, at) : headings(label, e, at);
}

void ControlBinder::tip(HWND w, const form::Control& control) {
    if (tips_ == nullptr) {
        tips_ = CreateWindowExW(
            WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(w, GA_ROOT),
            nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(w);
    tool.uId = reinterpret_cast<UINT_PTR>(w);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    core_.addPainter([this, tool, &control, painted = std::string()](bool) mutable {
        if (painted == control.ToolTipText) {
            return;
        }
        painted = control.ToolTipText;
        const std::wstring text = wide(painted);
        tool.lpszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    });
}

HWND ControlBinder::control(const wchar_t* cls, const std::wstring& text, DWORD style,
                            DWORD exStyle, const char* kind, const form::ControlEntry& e,
                            const Place& at) {
    const RECT r = placeOf(at.geometry);
    HWND w = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, at.parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)),
                             GetModuleHandleW(nullptr), nullptr);
    const bool bold = (at.geometry.style & form::StyleBold) != 0;
    SendMessageW(w, WM_SETFONT,
                 reinterpret_cast<WPARAM>(bold ? scale_->boldFont() : scale_->messageFont()),
                 FALSE);
    rescales_.push_back([this, w, bold, geometry = at.geometry] {
        place(w, placeOf(geometry));
        setFont(w, bold ? scale_->boldFont() : scale_->messageFont());
    });
    record(e, kind, w, [w] { return narrow(windowText(w)); });
    return w;
}

void ControlBinder::record(const form::ControlEntry& e, const char* kind, HWND w,
                           std::function<std::string()> text) {
    std::string name(e.name);
    if (e.index >= 0) {
        name += '_' + std::to_string(e.index);
    }
    built_.push_back({name, kind, w});
    texts_.push_back(std::move(text));
}

HWND ControlBinder::panel(const char* kind, const form::ControlEntry& e, const Place& at,
                          std::function<std::string()> text) {
    HWND w = createPanel(at.parent, placeOf(at.geometry), 0, this);
    rescales_.push_back([this, w, geometry = at.geometry] { place(w, placeOf(geometry)); });
    record(e, kind, w, std::move(text));
    return w;
}

void ControlBinder::runClick(const std::function<void()>& run, Role role) {
    core_.runClick(run, role);
}

HBRUSH ControlBinder::brush(COLORREF c) {
    auto found = brushes_.find(c);
    if (found != brushes_.end()) {
        return found->second;
    }
    return brushes_[c] = CreateSolidBrush(c);
}

bool ControlBinder::dispatch(const std::function<void()>& handler) {
    return core_.dispatch(handler);
}

bool ControlBinder::busyLooks() const {
    return core_.busyLooks();
}

void ControlBinder::render() {
    painting_ = true;
    const bool busy = core_.render();
    painting_ = false;
    renderMenu(busy);
}

bool ControlBinder::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) {
    switch (message) {
        case WM_COMMAND: {
            // A menu (0) or a shortcut key (1).
            if (lParam == 0 && HIWORD(wParam) <= 1) {
                return menuCommand(LOWORD(wParam), HIWORD(wParam) == 1, result);
            }
            auto found = items_.find(reinterpret_cast<HWND>(lParam));
            if (found == items_.end() || !found->second.command) {
                return false;
            }
            const auto command = found->second.command;
            command(HIWORD(wParam));
            result = 0;
            return true;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            auto found = items_.find(reinterpret_cast<HWND>(lParam));
            HBRUSH b = nullptr;
            if (found == items_.end() || !found->second.colour ||
                !found->second.colour(reinterpret_cast<HDC>(wParam), b)) {
                return false;
            }
            result = reinterpret_cast<LRESULT>(b);
            return true;
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            auto found = items_.find(draw->hwndItem);
            if (found == items_.end() || !found->second.draw) {
                return false;
            }
            found->second.draw(*draw);
            result = TRUE;
            return true;
        }
        case WM_ERASEBKGND: {
            auto found = items_.find(window);
            if (found == items_.end() || !found->second.paint) {
                return false;
            }
            result = 1;
            return true;
        }
        case WM_PAINT: {
            auto found = items_.find(window);
            if (found == items_.end() || !found->second.paint) {
                return false;
            }
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT area{};
            GetClientRect(window, &area);
            found->second.paint(dc, area);
            EndPaint(window, &ps);
            result = 0;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace win32kit
