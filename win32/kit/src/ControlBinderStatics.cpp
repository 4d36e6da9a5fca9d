#include "win32kit/ControlBinder.h"

#include <commctrl.h>

#include "BinderLooks.h"
#include "Painted.h"
#include "form/HeadingWords.h"
#include "form/PaintedCaption.h"
#include "win32kit/Surface.h"
#include "win32kit/Text.h"

namespace win32kit {

namespace {

// The lamps' outline.
constexpr COLORREF kLampPen = RGB(64, 64, 64);

}  // namespace

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
        form::PaintedCaption caption;
        int back = -2, fore = -2;
    };
    const bool bold = (style & form::StyleBold) != 0;
    core_.addPainter([this, w, &label, title, bold, s = State{}](bool) mutable {
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
    HWND row = panel("Label", e, at, [&label] { return label.Caption; });
    std::vector<HWND> words;
    for (std::size_t k = 0; k < e.columns.size(); ++k) {
        HWND word =
            CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0,
                            0, 0, 0, row, nullptr, GetModuleHandleW(nullptr), nullptr);
        words.push_back(word);
    }
    placeHeadings(row, words, e.columns);
    rescales_.push_back(
        [this, row, words, columns = e.columns] { placeHeadings(row, words, columns); });
    // A caption that does not match the columns shows whole across them, in the first word.
    core_.addPainter([this, row, words, &label, caption = form::PaintedCaption{}](bool) mutable {
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

HWND ControlBinder::create(form::Lamp& lamp, const form::ControlEntry& e, const Place& at) {
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
    core_.addPainter([w, &lamp, s = State{}](bool) mutable {
        s.painted.paint(w, lamp, lamp.Enabled);
        if (s.fill != lamp.FillColor) {
            s.fill = lamp.FillColor;
            InvalidateRect(w, nullptr, FALSE);
        }
    });
    return w;
}

HWND ControlBinder::create(form::Frame& frame, const form::ControlEntry& e, const Place& at) {
    HWND w = panel("Frame", e, at, [&frame] { return frame.Caption; });
    ShowWindow(w, SW_HIDE);
    rescales_.push_back([w] { InvalidateRect(w, nullptr, TRUE); });
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
        form::PaintedCaption caption;
    };
    core_.addPainter([w, &frame, s = State{}](bool) mutable {
        s.painted.paint(w, frame, frame.Enabled);
        if (s.caption.changed(frame.Caption)) {
            InvalidateRect(w, nullptr, TRUE);
        }
    });
    return w;
}

HWND ControlBinder::create(form::Picture& picture, const form::ControlEntry& e, const Place& at) {
    HWND w = panel("Picture", e, at, [] { return std::string(); });
    ShowWindow(w, SW_HIDE);
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
    core_.addPainter([w, &picture, painted = Painted{}](bool) mutable {
        painted.paint(w, picture, picture.Enabled);
    });
    return w;
}

}  // namespace win32kit
