#include "win32views/TableWindow.h"

#include "win32kit/Scale.h"
#include "win32kit/Surface.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32views {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

TableWindow::TableWindow(form::Window& model, const form::ControlTable& table,
                         form::UserEventGate& gate, win32kit::Win32Host& host, Design design,
                         const form::MenuTable& menus)
    : model_(model), host_(host), binder_(gate, host), design_(std::move(design)) {
    if (!menus.empty()) {
        binder_.buildMenus(menus);
    }
    win32kit::Scale& scale = binder_.scale();
    window_ = win32kit::createTopWindow(
        win32kit::wide(model_.Caption), kStyle, scale.pixels(design_.clientWidth),
        scale.pixels(design_.clientHeight), menus.empty() ? nullptr : binder_.menuBar(), this);
    binder_.setMenuOwner(window_);
    // Made on a screen of another DPI than the system's: sized for that one.
    if (const int dpi = win32kit::windowDpi(window_); dpi != scale.dpi()) {
        binder_.setDpi(dpi);
        win32kit::setClientSize(window_, binder_.scale().pixels(design_.clientWidth),
                                binder_.scale().pixels(design_.clientHeight), dpi);
    }
    // One the user may resize starts no larger than its screen (a large scale on a small screen).
    if (design_.resizable) {
        win32kit::fitOnScreen(window_);
    }
    binder_.addContainer("", -1, window_);
    binder_.build(table);
    rendererId_ = host.addRenderer([this] { render(); });
}

TableWindow::~TableWindow() {
    host_.removeRenderer(rendererId_);
    if (window_ != nullptr) {
        win32kit::setTarget(window_, nullptr);
        DestroyWindow(window_);
    }
}

void TableWindow::setDefaultButton(const form::Control& button) {
    defaultButton_ = binder_.window(button);
    if (defaultButton_ != nullptr) {
        SendMessageW(defaultButton_, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
}

void TableWindow::render() {
    binder_.render();
    if (paintedCaption_ != model_.Caption) {
        paintedCaption_ = model_.Caption;
        SetWindowTextW(window_, win32kit::wide(model_.Caption).c_str());
    }
    if (design_.followVisible && (IsWindowVisible(window_) != FALSE) != model_.Visible) {
        ShowWindow(window_, model_.Visible ? SW_SHOW : SW_HIDE);
    }
}

void TableWindow::show() {
    render();
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    if (defaultButton_ != nullptr) {
        SetFocus(defaultButton_);
    }
}

void TableWindow::hide() {
    ShowWindow(window_, SW_HIDE);
}

void TableWindow::changeDpi(int dpi, const RECT& suggested) {
    binder_.setDpi(dpi);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // A window of fixed size keeps its design's client area: Windows' suggestion scales the old
    // size, which may be a pixel short at the new DPI.
    if (!design_.resizable) {
        win32kit::setClientSize(window_, binder_.scale().pixels(design_.clientWidth),
                                binder_.scale().pixels(design_.clientHeight), dpi);
    }
}

bool TableWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) {
    if (design_.messages && design_.messages(window, message, wParam, lParam, result)) {
        return true;
    }
    switch (message) {
        case WM_CLOSE:
            if (design_.onClose) {
                design_.onClose();
            }
            host_.renderAll();
            ShowWindow(window_, SW_HIDE);
            result = 0;
            return true;
        case win32kit::kDpiChanged:
            changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            result = 0;
            return true;
        case DM_GETDEFID:
            if (defaultButton_ == nullptr) {
                return false;
            }
            result = MAKELRESULT(GetDlgCtrlID(defaultButton_), DC_HASDEFID);
            return true;
        case WM_COMMAND:
            // Enter (IDOK with no default button named) and Esc (IDCANCEL) press the default one.
            if (lParam == 0 && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) &&
                HIWORD(wParam) == 0) {
                if (defaultButton_ != nullptr) {
                    SendMessageW(defaultButton_, BM_CLICK, 0, 0);
                }
                result = 0;
                return true;
            }
            return binder_.onMessage(window, message, wParam, lParam, result);
        default:
            return binder_.onMessage(window, message, wParam, lParam, result);
    }
}

}  // namespace win32views
