#include "win32views/ConsoleWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "win32kit/Scale.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32views {

namespace {

using console::frmI2C_General;

// Design height of the area that holds the tabs; the "USB Initialized" button lies below it.
constexpr int kDesignAreaHeight = frmI2C_General::kClientHeight;
// Gap between the design area and the "USB Initialized" button, and the strip it needs; the
// strip is there only while the button shows.
constexpr int kStatusGap = 45;
constexpr int kStatusStrip = 480;

constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX;

}  // namespace

ConsoleWindow::ConsoleWindow(frmI2C_General& model, form::UserEventGate& gate,
                             win32kit::Win32Host& host, std::function<bool()> requestClose)
    : model_(model), host_(host), binder_(gate, host), requestClose_(std::move(requestClose)) {
    stripShown_ = model_.cbNoc.Visible;
    binder_.buildMenus(model_.menus());
    window_ = win32kit::createTopWindow(
        win32kit::wide(model_.Caption), kStyle, scale().pixels(frmI2C_General::kClientWidth),
        scale().pixels(kDesignAreaHeight + (stripShown_ ? kStatusStrip : 0)), binder_.menuBar(),
        this);
    binder_.setMenuOwner(window_);
    // Made on a screen of another DPI than the system's: sized for that one.
    if (const int dpi = win32kit::windowDpi(window_); dpi != scale().dpi()) {
        binder_.setDpi(dpi);
        sizeClient(scale().pixels(frmI2C_General::kClientWidth));
    }

    // The pages lie above the tab control as its siblings, so that their controls' notifications
    // reach panels of the kit.
    RECT none{0, 0, 10, 10};
    pbouter_ = win32kit::createPanel(window_, none, WS_HSCROLL | WS_VSCROLL, this);
    pbinner_ = win32kit::createPanel(pbouter_, none, 0, &binder_);
    SetWindowPos(pbinner_, nullptr, 0, 0, scale().pixels(frmI2C_General::kInnerWidth),
                 scale().pixels(frmI2C_General::kInnerHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    logPage_ = win32kit::createPanel(window_, none, 0, &binder_);
    ShowWindow(logPage_, SW_HIDE);
    tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 10, 10,
                            window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), FALSE);
    for (int k = 0; k < 2; ++k) {
        std::wstring caption =
            win32kit::wide(model_.SSTab1.TabCaption[static_cast<std::size_t>(k)]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(k),
                     reinterpret_cast<LPARAM>(&item));
    }
    SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    // A tab page starts below the tab headers; design tops count from the tab strip.
    binder_.addContainer("", -1, window_);
    binder_.addContainer("SSTab1", 1, logPage_, model_.SSTab1.TabHeight);
    binder_.addContainer("pbinner", -1, pbinner_);
    binder_.build(model_.controls());
    cbNoc_ = binder_.window(model_.cbNoc);
    // The window-level boxes lie over the tab headers.
    for (HWND w : {binder_.window(model_.txtActualReadAddress),
                   binder_.window(model_.txtActualWrtAddress), cbNoc_}) {
        if (w != nullptr) {
            SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    arrange();
    rendererId_ = host.addRenderer([this] { render(); });
}

ConsoleWindow::~ConsoleWindow() {
    host_.removeRenderer(rendererId_);
    if (window_ != nullptr) {
        win32kit::setTarget(window_, nullptr);
        win32kit::setTarget(pbouter_, nullptr);
        DestroyWindow(window_);
    }
}

void ConsoleWindow::arrange() {
    RECT client{};
    GetClientRect(window_, &client);
    const int width = client.right;
    const int statusTop =
        std::max(0L, client.bottom - (stripShown_ ? scale().pixels(kStatusStrip) : 0));
    MoveWindow(tabs_, 0, 0, width, statusTop, TRUE);
    RECT page{0, 0, width, statusTop};
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    MoveWindow(pbouter_, page.left, page.top, page.right - page.left, page.bottom - page.top, TRUE);
    MoveWindow(logPage_, page.left, page.top, page.right - page.left, page.bottom - page.top, TRUE);
    // The log page's design tops count from the top of the tab strip, as the Qt window's do.
    if (cbNoc_ != nullptr) {
        RECT r{};
        GetWindowRect(cbNoc_, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(cbNoc_, nullptr, r.left, statusTop + scale().pixels(kStatusGap), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    updateScrollBars();
    model_.Form_Resize(scale().twips(width), scale().twips(statusTop));
}

void ConsoleWindow::updateScrollBars() {
    RECT view{};
    GetClientRect(pbouter_, &view);
    const int sizes[2] = {scale().pixels(frmI2C_General::kInnerWidth),
                          scale().pixels(frmI2C_General::kInnerHeight)};
    const int pages[2] = {view.right, view.bottom};
    for (int bar : {SB_HORZ, SB_VERT}) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMin = 0;
        info.nMax = sizes[bar == SB_VERT] - 1;
        info.nPage = static_cast<UINT>(std::max(0, pages[bar == SB_VERT]));
        SetScrollInfo(pbouter_, bar, &info, TRUE);
    }
    placeInner();
}

void ConsoleWindow::placeInner() {
    const int x = GetScrollPos(pbouter_, SB_HORZ);
    const int y = GetScrollPos(pbouter_, SB_VERT);
    SetWindowPos(pbinner_, nullptr, -x, -y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ConsoleWindow::scroll(int bar, WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(pbouter_, bar, &info);
    const bool vertical = bar == SB_VERT;
    const auto& model = vertical ? model_.VScroll1 : model_.HScroll1;
    const int line = std::max(1, scale().pixels(model.SmallChange));
    const int page = std::max(1, scale().pixels(model.LargeChange));
    int pos = info.nPos;
    switch (request) {
        case SB_LINEUP:
            pos -= line;
            break;
        case SB_LINEDOWN:
            pos += line;
            break;
        case SB_PAGEUP:
            pos -= page;
            break;
        case SB_PAGEDOWN:
            pos += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = info.nTrackPos;
            break;
        case SB_TOP:
            pos = info.nMin;
            break;
        case SB_BOTTOM:
            pos = info.nMax;
            break;
        default:
            return;
    }
    const int last = std::max(0, info.nMax - static_cast<int>(info.nPage) + 1);
    pos = std::clamp(pos, 0, last);
    if (pos == info.nPos) {
        return;
    }
    info.fMask = SIF_POS;
    info.nPos = pos;
    SetScrollInfo(pbouter_, bar, &info, TRUE);
    placeInner();
    if (vertical) {
        model_.VScroll1.Value = std::min(scale().twips(pos), model_.VScroll1.Max);
        model_.VScroll1_Change();
    } else {
        model_.HScroll1.Value = std::min(scale().twips(pos), model_.HScroll1.Max);
        model_.HScroll1_Change();
    }
}

void ConsoleWindow::sizeClient(int width) {
    win32kit::setClientSize(window_, width,
                            scale().pixels(kDesignAreaHeight + (stripShown_ ? kStatusStrip : 0)),
                            scale().dpi());
}

void ConsoleWindow::changeDpi(int dpi, const RECT& suggested) {
    const int old = scale().dpi();
    if (dpi == old) {
        return;
    }
    binder_.setDpi(dpi);
    SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), TRUE);
    SetWindowPos(pbinner_, nullptr, 0, 0, scale().pixels(frmI2C_General::kInnerWidth),
                 scale().pixels(frmI2C_General::kInnerHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    // The register panel stays scrolled to the same place.
    for (int bar : {SB_HORZ, SB_VERT}) {
        SetScrollPos(pbouter_, bar, MulDiv(GetScrollPos(pbouter_, bar), dpi, old), FALSE);
    }
    // The move's WM_SIZE arranges the tabs, pages and status strip at the new DPI.
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    arrange();
}

void ConsoleWindow::showPage(int tab) {
    ShowWindow(pbouter_, tab == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(logPage_, tab == 1 ? SW_SHOW : SW_HIDE);
}

void ConsoleWindow::render() {
    binder_.render();
    if (paintedCaption_ != model_.Caption) {
        paintedCaption_ = model_.Caption;
        SetWindowTextW(window_, win32kit::wide(model_.Caption).c_str());
    }
    if (stripShown_ != model_.cbNoc.Visible) {
        stripShown_ = model_.cbNoc.Visible;
        RECT client{};
        GetClientRect(window_, &client);
        sizeClient(client.right);
        arrange();
    }
    // Only a tab that the model chose is painted, so a repaint in the middle of the user's own
    // switch does not turn the tab bar back.
    if (model_.SSTab1.Tab != paintedTab_) {
        paintedTab_ = model_.SSTab1.Tab;
        SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(paintedTab_), 0);
        showPage(paintedTab_);
    }
}

bool ConsoleWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) {
    if (window == pbouter_) {
        if (message == WM_VSCROLL || message == WM_HSCROLL) {
            scroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
            result = 0;
            return true;
        }
        return binder_.onMessage(window, message, wParam, lParam, result);
    }
    switch (message) {
        case WM_CLOSE:
            if (requestClose_) {
                requestClose_();
            }
            result = 0;
            return true;
        case WM_SIZE:
            if (tabs_ != nullptr && wParam != SIZE_MINIMIZED) {
                arrange();
            }
            return false;
        case win32kit::kDpiChanged:
            changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            result = 0;
            return true;
        case WM_NOTIFY: {
            const auto* note = reinterpret_cast<const NMHDR*>(lParam);
            if (note->hwndFrom == tabs_ && note->code == TCN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
                const int previous = model_.SSTab1.Tab;
                model_.SSTab1.Tab = index;
                paintedTab_ = index;
                showPage(index);
                model_.SSTab1_Click(previous);
                host_.renderAll();
                result = 0;
                return true;
            }
            return false;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                lastFocus_ = focus != nullptr && IsChild(window_, focus) ? focus : nullptr;
            } else if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
                SetFocus(lastFocus_);
            } else {
                // The window itself, not one of its controls, got the focus.
                SetFocus(window_);
                binder_.dispatch([this] { model_.Form_GotFocus(); });
            }
            result = 0;
            return true;
        default:
            return binder_.onMessage(window, message, wParam, lParam, result);
    }
}

}  // namespace win32views
