#include "win32kit/ControlBinder.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <variant>

#include "form/HeadingWords.h"
#include "win32kit/Guard.h"
#include "win32kit/Screen.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32kit {

namespace {

constexpr form::PaletteIndex kDefaultLabelBack = 7;
constexpr form::PaletteIndex kDefaultBoxBack = 15;
constexpr form::PaletteIndex kDefaultFore = 0;
// The title band's colours.
constexpr form::PaletteIndex kTitleBack = 1;
constexpr form::PaletteIndex kTitleFore = 15;
// The lamps' outline.
constexpr COLORREF kLampPen = RGB(64, 64, 64);
// Height of a heading row's words at 96 DPI.
constexpr int kHeadingPixels = 17;
// The focus left a text box for another control of its window: its lost-focus handler runs
// once the focus change is complete.
constexpr UINT kLostFocus = WM_APP + 1;
constexpr UINT_PTR kEditSubclass = 1;

// A palette colour; a negative index is the system's button-text colour.
COLORREF colour(form::PaletteIndex index) {
    if (index < 0) {
        return GetSysColor(COLOR_BTNTEXT);
    }
    const form::Rgb rgb = form::paletteRgb(index);
    return RGB(rgb.r, rgb.g, rgb.b);
}

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

// Visible and enabled as last painted; -1 means never painted.
struct Painted {
    int visible = -1;
    int enabled = -1;

    void paint(HWND w, const form::Control& c, bool enabled) {
        if (visible != int{c.Visible}) {
            visible = c.Visible;
            ShowWindow(w, c.Visible ? SW_SHOWNA : SW_HIDE);
        }
        if (this->enabled != int{enabled}) {
            this->enabled = enabled;
            EnableWindow(w, enabled ? TRUE : FALSE);
        }
    }
};

// A caption as last painted, and the binder's scale generation it was fitted at, so that an
// unchanged one is not set again.
struct PaintedCaption {
    std::string text;
    bool set = false;
    int generation = 0;

    bool changed(const std::string& caption, int scaleGeneration = 0) {
        if (set && text == caption && generation == scaleGeneration) {
            return false;
        }
        text = caption;
        set = true;
        generation = scaleGeneration;
        return true;
    }
};

// Which part of a control its caption has.
enum class CaptionArea { Whole, Button, CheckBox };

// Sets the caption and shrinks the font, a pixel at a time, until the wrapped caption fits the
// control (the design rectangles were drawn for a narrower font than most systems have).
void setCaption(HWND w, const std::string& caption, CaptionArea kind, bool bold, Scale& scale) {
    const std::wstring text = wide(caption);
    SetWindowTextW(w, text.c_str());
    RECT area{};
    GetClientRect(w, &area);
    if (kind == CaptionArea::Button) {
        InflateRect(&area, -scale.scaled(3), -scale.scaled(3));
    } else if (kind == CaptionArea::CheckBox) {
        // The system measures the check box at its own DPI.
        area.left +=
            MulDiv(GetSystemMetrics(SM_CXMENUCHECK), scale.dpi(), systemDpi()) + scale.scaled(4);
    }
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(scale.fittingFont(text, area, bold)),
                 TRUE);
}

void setFont(HWND w, HFONT font) {
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void place(HWND w, const RECT& r) {
    SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT childRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

ControlBinder::ControlBinder(form::UserEventGate& gate, Win32Host& host)
    : gate_(gate), host_(host), scale_(std::make_unique<Scale>(systemDpi())) {}

ControlBinder::~ControlBinder() {
    for (auto& [w, hooks] : hooks_) {
        RemoveWindowSubclass(w, &ControlBinder::editProc, kEditSubclass);
    }
    for (auto& [c, b] : brushes_) {
        DeleteObject(b);
    }
}

RECT ControlBinder::pixels(const form::ControlGeometry& g) {
    const int left = win32kit::pixels(g.left);
    const int top = win32kit::pixels(g.top);
    return {left, top, left + win32kit::pixels(g.width), top + win32kit::pixels(g.height)};
}

RECT ControlBinder::placeOf(const form::ControlGeometry& g) const {
    const int left = scale_->pixels(g.left);
    const int top = scale_->pixels(g.top);
    return {left, top, left + scale_->pixels(g.width), top + scale_->pixels(g.height)};
}

void ControlBinder::setDpi(int dpi) {
    if (dpi == scale_->dpi()) {
        return;
    }
    // The controls still hold the old fonts until the rescales below replace them.
    auto old = std::exchange(scale_, std::make_unique<Scale>(dpi));
    ++scaleGeneration_;
    for (const auto& rescale : rescales_) {
        rescale();
    }
    render();
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
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, form::TextBox>) {
                return (e.geometry.style & form::StyleMultiLine) != 0 ? log(*c, e, at)
                                                                      : textBox(*c, e, at);
            } else if constexpr (std::is_same_v<T, form::Label>) {
                return e.columns.empty() ? label(*c, e, at) : headings(*c, e, at);
            } else if constexpr (std::is_same_v<T, form::Button>) {
                return button(*c, e, at);
            } else if constexpr (std::is_same_v<T, form::CheckBox>) {
                return checkBox(*c, e, at);
            } else if constexpr (std::is_same_v<T, form::Lamp>) {
                return lamp(*c, e, at);
            } else if constexpr (std::is_same_v<T, form::Frame>) {
                return frame(*c, e, at);
            } else {
                return picture(*c, e, at);
            }
        },
        e.control);
    windows_[model] = made;
    tip(made, *model);
    return made;
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
    renders_.push_back([this, tool, &control, painted = std::string()](bool) mutable {
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
    std::string name(e.name);
    if (e.index >= 0) {
        name += '_' + std::to_string(e.index);
    }
    built_.push_back({name, kind, w});
    texts_.push_back([w] { return narrow(windowText(w)); });
    return w;
}

void ControlBinder::runClick(const std::function<void()>& run, Role role) {
    if (role == Role::Data) {
        dispatch(run);
    } else {
        run();
        host_.renderAll();
    }
}

HBRUSH ControlBinder::brush(COLORREF c) {
    auto found = brushes_.find(c);
    if (found != brushes_.end()) {
        return found->second;
    }
    return brushes_[c] = CreateSolidBrush(c);
}

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
        std::uint64_t generation = ~std::uint64_t{0};
        std::size_t size = 0;
        int readOnly = -1;
        int back = -1, fore = -1;
    };
    renders_.push_back([this, w, &box, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled);
        const int readOnly = box.Locked || busy;
        if (s.readOnly != readOnly) {
            s.readOnly = readOnly;
            SendMessageW(w, EM_SETREADONLY, readOnly, 0);
        }
        if (s.back != box.BackColor || s.fore != box.ForeColor) {
            s.back = box.BackColor;
            s.fore = box.ForeColor;
            InvalidateRect(w, nullptr, TRUE);
        }
        if (s.generation != box.textGeneration() || s.size != box.Text().size()) {
            s.generation = box.textGeneration();
            s.size = box.Text().size();
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

HWND ControlBinder::label(form::Label& label, const form::ControlEntry& e, const Place& at) {
    const unsigned style = at.geometry.style;
    const bool title = (style & form::StyleTitleBand) != 0;
    DWORD align = SS_LEFT;
    if (title || (style & form::StyleCentred) != 0) {
        align = SS_CENTER;
    } else if ((style & form::StyleRightAlign) != 0) {
        align = SS_RIGHT;
    }
    HWND w = control(WC_STATICW, L"", SS_NOPREFIX | align, 0, title ? "Title" : "Label", e, at);
    if (title) {
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(scale_->titleFont()), FALSE);
        rescales_.push_back([this, w] { setFont(w, scale_->titleFont()); });
    }
    items_[w].colour = [this, &label, title](HDC dc, HBRUSH& b) {
        if (title) {
            SetBkColor(dc, colour(kTitleBack));
            SetTextColor(dc, colour(kTitleFore));
            b = brush(colour(kTitleBack));
            return true;
        }
        const bool plainBack = label.BackColor == kDefaultLabelBack;
        if (plainBack && label.ForeColor == kDefaultFore) {
            return false;
        }
        const COLORREF back = plainBack ? GetSysColor(COLOR_BTNFACE) : colour(label.BackColor);
        SetBkColor(dc, back);
        SetTextColor(dc, colour(label.ForeColor));
        b = brush(back);
        return true;
    };
    struct State {
        Painted painted;
        PaintedCaption caption;
        int back = -2, fore = -2;
    };
    const bool bold = (style & form::StyleBold) != 0;
    renders_.push_back([this, w, &label, title, bold, s = State{}](bool) mutable {
        s.painted.paint(w, label, label.Enabled);
        if (s.back != label.BackColor || s.fore != label.ForeColor) {
            s.back = label.BackColor;
            s.fore = label.ForeColor;
            InvalidateRect(w, nullptr, TRUE);
        }
        if (s.caption.changed(label.Caption, scaleGeneration_)) {
            if (title) {
                SetWindowTextW(w, wide(label.Caption).c_str());
            } else {
                setCaption(w, label.Caption, CaptionArea::Whole, bold, *scale_);
            }
        }
    });
    return w;
}

HWND ControlBinder::headings(form::Label& label, const form::ControlEntry& e, const Place& at) {
    HWND row = createPanel(at.parent, placeOf(at.geometry), 0, this);
    std::string name(e.name);
    if (e.index >= 0) {
        name += '_' + std::to_string(e.index);
    }
    built_.push_back({name, "Label", row});
    texts_.push_back([&label] { return label.Caption; });
    std::vector<HWND> words;
    for (std::size_t k = 0; k < e.columns.size(); ++k) {
        HWND word =
            CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0,
                            0, 0, 0, row, nullptr, GetModuleHandleW(nullptr), nullptr);
        words.push_back(word);
    }
    placeHeadings(row, words, e.columns);
    rescales_.push_back([this, row, words, columns = e.columns, geometry = at.geometry] {
        place(row, placeOf(geometry));
        placeHeadings(row, words, columns);
    });
    // A caption that does not match the columns shows whole across them, in the first word.
    renders_.push_back([this, row, words, &label, caption = PaintedCaption{}](bool) mutable {
        ShowWindow(row, label.Visible ? SW_SHOWNA : SW_HIDE);
        if (!caption.changed(label.Caption, scaleGeneration_)) {
            return;
        }
        const std::vector<std::string> split = form::headingWords(label.Caption);
        const bool oneEach = split.size() == words.size();
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (oneEach) {
                SetWindowTextW(words[k], wide(split[k]).c_str());
                ShowWindow(words[k], SW_SHOWNA);
            } else if (k == 0) {
                RECT whole{};
                GetClientRect(row, &whole);
                MoveWindow(words[k], 0, 0, whole.right, scale_->scaled(kHeadingPixels), TRUE);
                SetWindowTextW(words[k], wide(label.Caption).c_str());
            } else {
                ShowWindow(words[k], SW_HIDE);
            }
        }
    });
    return row;
}

void ControlBinder::placeHeadings(HWND row, const std::vector<HWND>& words,
                                  const std::vector<const form::Control*>& columns) {
    const RECT area = childRect(row);
    const int width = area.right - area.left;
    std::vector<RECT> boxes;
    for (const form::Control* c : columns) {
        HWND column = window(*c);
        RECT r = column != nullptr ? childRect(column) : RECT{};
        OffsetRect(&r, -area.left, 0);
        boxes.push_back(r);
    }
    // Each word spans its box and half of the gaps beside it.
    const int height = scale_->scaled(kHeadingPixels);
    for (std::size_t k = 0; k < boxes.size() && k < words.size(); ++k) {
        const RECT box = boxes[k];
        const int before = k == 0 ? box.left : (box.left - boxes[k - 1].right) / 2;
        const int after =
            k + 1 == boxes.size() ? width - box.right : (boxes[k + 1].left - box.right) / 2;
        const int left = box.left - std::max(0, before - 1);
        const int right = box.right + std::max(0, after - 1);
        MoveWindow(words[k], left, 0, right - left, height, TRUE);
        setFont(words[k], scale_->messageFont());
    }
}

HWND ControlBinder::button(form::Button& button, const form::ControlEntry& e, const Place& at) {
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
        PaintedCaption caption;
    };
    const bool bold = (at.geometry.style & form::StyleBold) != 0;
    renders_.push_back([this, w, &button, role, bold, s = State{}](bool busy) mutable {
        s.painted.paint(w, button, button.Enabled && !(busy && role == Role::Data));
        if (s.caption.changed(button.Caption, scaleGeneration_)) {
            setCaption(w, button.Caption, CaptionArea::Button, bold, *scale_);
        }
    });
    return w;
}

HWND ControlBinder::checkBox(form::CheckBox& box, const form::ControlEntry& e, const Place& at) {
    HWND w =
        control(WC_BUTTONW, L"", WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE, 0, "CheckBox", e, at);
    const Role role = e.role;
    items_[w].command = [this, w, &box, role, onClick = e.events.click](WORD notification) {
        if (notification != BN_CLICKED || painting_) {
            return;
        }
        const int state = static_cast<int>(SendMessageW(w, BM_GETCHECK, 0, 0));
        runClick(
            [&box, &onClick, state] {
                box.Value = state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
                if (onClick) {
                    onClick();
                }
            },
            role);
    };
    struct State {
        Painted painted;
        PaintedCaption caption;
    };
    texts_.back() = [w, &box] { return narrow(windowText(w)) + '=' + std::to_string(box.Value); };
    const bool bold = (at.geometry.style & form::StyleBold) != 0;
    renders_.push_back([this, w, &box, role, bold, s = State{}](bool busy) mutable {
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

HWND ControlBinder::lamp(form::Lamp& lamp, const form::ControlEntry& e, const Place& at) {
    HWND w = control(WC_STATICW, L"", SS_OWNERDRAW, 0, "Lamp", e, at);
    const bool circle = (at.geometry.style & form::StyleCircle) != 0;
    texts_.back() = [&lamp] { return "fill " + std::to_string(lamp.FillColor); };
    items_[w].draw = [&lamp, circle](const DRAWITEMSTRUCT& d) {
        FillRect(d.hDC, &d.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        HPEN pen = CreatePen(PS_SOLID, 1, kLampPen);
        HBRUSH fill = CreateSolidBrush(colour(lamp.FillColor));
        HGDIOBJ oldPen = SelectObject(d.hDC, pen);
        HGDIOBJ oldBrush = SelectObject(d.hDC, fill);
        const RECT& r = d.rcItem;
        if (circle) {
            Ellipse(d.hDC, r.left, r.top, r.right, r.bottom);
        } else {
            Rectangle(d.hDC, r.left, r.top, r.right, r.bottom);
        }
        SelectObject(d.hDC, oldPen);
        SelectObject(d.hDC, oldBrush);
        DeleteObject(pen);
        DeleteObject(fill);
    };
    struct State {
        Painted painted;
        int fill = -2;
    };
    renders_.push_back([w, &lamp, s = State{}](bool) mutable {
        s.painted.paint(w, lamp, lamp.Enabled);
        if (s.fill != lamp.FillColor) {
            s.fill = lamp.FillColor;
            InvalidateRect(w, nullptr, FALSE);
        }
    });
    return w;
}

HWND ControlBinder::frame(form::Frame& frame, const form::ControlEntry& e, const Place& at) {
    HWND w = createPanel(at.parent, placeOf(at.geometry), 0, this);
    ShowWindow(w, SW_HIDE);
    rescales_.push_back([this, w, geometry = at.geometry] {
        place(w, placeOf(geometry));
        InvalidateRect(w, nullptr, TRUE);
    });
    std::string name(e.name);
    if (e.index >= 0) {
        name += '_' + std::to_string(e.index);
    }
    built_.push_back({name, "Frame", w});
    texts_.push_back([&frame] { return frame.Caption; });
    items_[w].paint = [this, w, &frame](HDC dc, const RECT& area) {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ old = SelectObject(dc, scale_->messageFont());
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        RECT border = area;
        border.top += metrics.tmHeight / 2;
        DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
        if (!frame.Caption.empty()) {
            const std::wstring caption = L" " + wide(frame.Caption) + L" ";
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(IsWindowEnabled(w) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
            TextOutW(dc, scale_->scaled(6), 0, caption.c_str(), static_cast<int>(caption.size()));
        }
        SelectObject(dc, old);
    };
    struct State {
        Painted painted;
        PaintedCaption caption;
    };
    renders_.push_back([w, &frame, s = State{}](bool) mutable {
        s.painted.paint(w, frame, frame.Enabled);
        if (s.caption.changed(frame.Caption)) {
            InvalidateRect(w, nullptr, TRUE);
        }
    });
    return w;
}

HWND ControlBinder::picture(form::Picture& picture, const form::ControlEntry& e, const Place& at) {
    HWND w = createPanel(at.parent, placeOf(at.geometry), 0, this);
    ShowWindow(w, SW_HIDE);
    rescales_.push_back([this, w, geometry = at.geometry] { place(w, placeOf(geometry)); });
    std::string name(e.name);
    if (e.index >= 0) {
        name += '_' + std::to_string(e.index);
    }
    built_.push_back({name, "Picture", w});
    texts_.push_back([] { return std::string(); });
    const bool band = (at.geometry.style & form::StyleTitleBand) != 0;
    items_[w].paint = [band](HDC dc, const RECT& area) {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        if (band) {
            HBRUSH blue = CreateSolidBrush(colour(kTitleBack));
            FillRect(dc, &area, blue);
            DeleteObject(blue);
        }
        RECT edge = area;
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    };
    renders_.push_back([w, &picture, painted = Painted{}](bool) mutable {
        painted.paint(w, picture, picture.Enabled);
    });
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
    // What the control holds, in the box's terms: its text from `dropped` bytes (counted from the
    // last replacement) up to `end`.
    struct State {
        Painted painted;
        std::uint64_t generation = ~std::uint64_t{0};
        std::uint64_t dropped = 0;
        std::uint64_t end = 0;
    };
    renders_.push_back([w, &box, s = State{}](bool) mutable {
        s.painted.paint(w, box, box.Enabled);
        const std::string& text = box.Text();
        const std::size_t notice = box.noticeSize();
        const std::uint64_t dropped = box.droppedBytes();
        const std::uint64_t end = dropped + (text.size() - notice);
        if (s.generation == box.textGeneration() && s.dropped == dropped && s.end == end) {
            return;
        }
        if (s.generation != box.textGeneration() || dropped != s.dropped || end < s.end) {
            SetWindowTextW(w, logText(text).c_str());
        } else {
            const std::size_t from = notice + static_cast<std::size_t>(s.end - dropped);
            const int length = GetWindowTextLengthW(w);
            SendMessageW(w, EM_SETSEL, length, length);
            SendMessageW(
                w, EM_REPLACESEL, FALSE,
                reinterpret_cast<LPARAM>(logText(std::string_view(text).substr(from)).c_str()));
        }
        s.generation = box.textGeneration();
        s.dropped = dropped;
        s.end = end;
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
            if (gate_.busy()) {
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
            if (gate_.busy()) {
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

bool ControlBinder::dispatch(const std::function<void()>& handler) {
    if (!gate_.busy()) {
        host_.operationStarts();
    }
    const bool ran = gate_.dispatch(handler);
    host_.renderAll();
    return ran;
}

bool ControlBinder::busyLooks() const {
    return gate_.busy() && host_.operationAgeMs() >= host_.busyPaintDelayMs;
}

void ControlBinder::render() {
    const bool busy = busyLooks();
    painting_ = true;
    for (auto& r : renders_) {
        r(busy);
    }
    painting_ = false;
    renderMenu(busy);
}

HMENU ControlBinder::menuBar() {
    if (menuBar_ == nullptr) {
        menuBar_ = CreateMenu();
    }
    return menuBar_;
}

HMENU ControlBinder::addSubmenu(HMENU parent, form::MenuItem& item) {
    HMENU sub = CreatePopupMenu();
    menu_.push_back({parent, 0, sub, &item, false, {}});
    AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                wide(item.Caption).c_str());
    return sub;
}

void ControlBinder::addMenuEntry(HMENU parent, form::MenuItem& item, bool data,
                                 std::function<void()> run) {
    const UINT id = static_cast<UINT>(nextId_++);
    menu_.push_back({parent, id, nullptr, &item, data, std::move(run)});
    menu_.back().caption = item.Caption;
    AppendMenuW(parent, MF_STRING, id, wide(item.Caption).c_str());
}

bool ControlBinder::renderMenuMarks() {
    bool changed = false;
    for (MenuEntry& m : menu_) {
        if (m.submenu != nullptr || !m.item->Visible) {
            continue;
        }
        if (m.caption != m.item->Caption) {
            m.caption = m.item->Caption;
            const std::wstring caption = wide(m.caption);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STRING;
            info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
            SetMenuItemInfoW(m.parent, m.id, FALSE, &info);
            changed = true;
        }
        if (m.checked != int{m.item->Checked}) {
            m.checked = m.item->Checked;
            CheckMenuItem(m.parent, m.id, MF_BYCOMMAND | (m.checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    return changed;
}

void ControlBinder::renderMenu(bool busy) {
    bool shownChanged = false;
    for (MenuEntry& m : menu_) {
        shownChanged = shownChanged || m.visible != int{m.item->Visible};
        m.visible = m.item->Visible;
    }
    if (shownChanged) {
        // Windows menus have no hidden entries: refill each menu with the shown ones.
        for (const MenuEntry& m : menu_) {
            while (GetMenuItemCount(m.parent) > 0) {
                RemoveMenu(m.parent, 0, MF_BYPOSITION);
            }
        }
        for (MenuEntry& m : menu_) {
            m.enabled = -1;
            m.checked = -1;
            m.caption = m.item->Caption;
            if (!m.item->Visible) {
                continue;
            }
            if (m.submenu != nullptr) {
                AppendMenuW(m.parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(m.submenu),
                            wide(m.item->Caption).c_str());
            } else {
                AppendMenuW(m.parent, MF_STRING, m.id, wide(m.item->Caption).c_str());
            }
        }
    }
    const bool captionChanged = renderMenuMarks();
    bool enabledChanged = false;
    for (MenuEntry& m : menu_) {
        const int enabled = m.item->Enabled && !(busy && m.data);
        if (m.enabled == enabled || !m.item->Visible) {
            continue;
        }
        m.enabled = enabled;
        enabledChanged = true;
        if (m.submenu != nullptr) {
            const int count = GetMenuItemCount(m.parent);
            for (int k = 0; k < count; ++k) {
                if (GetSubMenu(m.parent, k) == m.submenu) {
                    EnableMenuItem(m.parent, static_cast<UINT>(k),
                                   MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
                }
            }
        } else {
            EnableMenuItem(m.parent, m.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        }
    }
    if ((shownChanged || enabledChanged || captionChanged) && menuOwner_ != nullptr) {
        DrawMenuBar(menuOwner_);
    }
}

bool ControlBinder::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) {
    switch (message) {
        case WM_COMMAND: {
            if (lParam == 0 && HIWORD(wParam) == 0) {
                for (const MenuEntry& m : menu_) {
                    if (m.submenu == nullptr && m.id == LOWORD(wParam)) {
                        const auto run = m.run;
                        if (m.data) {
                            dispatch(run);
                        } else {
                            run();
                            host_.renderAll();
                        }
                        result = 0;
                        return true;
                    }
                }
                return false;
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
