#include "win32views/ScriptWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win32kit/Guard.h"
#include "win32kit/Scale.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32views {

namespace {

using script::frmScriptOps;

// The grid's top edge, left margin and the space under it, at 96 DPI, as in the Qt window.
constexpr int kGridTop = 258;
constexpr int kMargin = 7;
constexpr int kBottomMargin = 4;
// The client size at start, at 96 DPI.
constexpr int kStartWidth = 1040;
constexpr int kStartHeight = 680;
constexpr UINT_PTR kGridSubclass = 1;
// The widest a cell's tip grows before it wraps, at 96 DPI.
constexpr int kTipWidth = 480;

// One row as the list view shows it: every cell's text and colour.
std::vector<std::pair<std::string, script::CellColor>> rowOf(const script::ScriptGrid& grid,
                                                             int row) {
    std::vector<std::pair<std::string, script::CellColor>> cells;
    cells.reserve(static_cast<std::size_t>(grid.Columns()));
    for (int c = 1; c <= grid.Columns(); ++c) {
        cells.emplace_back(grid.CellText(row, c), grid.CellBackColor(row, c));
    }
    return cells;
}

COLORREF cellColour(script::CellColor colour, COLORREF fallback) {
    switch (colour) {
        case script::CellColor::Red:
            return RGB(255, 0, 0);
        case script::CellColor::Green:
            return RGB(0, 255, 0);
        case script::CellColor::ButtonFace:
            return GetSysColor(COLOR_BTNFACE);
        case script::CellColor::WindowBackground:
            return GetSysColor(COLOR_WINDOW);
        case script::CellColor::Default:
            break;
    }
    return fallback;
}

// The grid move a virtual key stands for; none for any other key.
std::optional<script::GridMove> gridMove(int key) {
    switch (key) {
        case VK_UP:
            return script::GridMove::Up;
        case VK_DOWN:
            return script::GridMove::Down;
        case VK_PRIOR:
            return script::GridMove::PageUp;
        case VK_NEXT:
            return script::GridMove::PageDown;
        case VK_HOME:
            return script::GridMove::Home;
        case VK_END:
            return script::GridMove::End;
        default:
            return std::nullopt;
    }
}

}  // namespace

ScriptWindow::ScriptWindow(frmScriptOps& model, form::UserEventGate& gate,
                           win32kit::Win32Host& host, std::function<void()> onClose)
    : model_(model), host_(host) {
    TableWindow::Design design{MulDiv(kStartWidth, 1440, 96), MulDiv(kStartHeight, 1440, 96),
                               std::move(onClose)};
    design.resizable = true;
    design.messages = [this](HWND w, UINT m, WPARAM wp, LPARAM lp, LRESULT& r) {
        return onMessage(w, m, wp, lp, r);
    };
    window_ = std::make_unique<TableWindow>(model_, model_.controls(), gate, host,
                                            std::move(design), model_.menus());
    grid_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
            LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA,
        0, 0, 100, 100, window_->handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(grid_, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), FALSE);
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, window_->handle(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    // A width makes the tip wrap, and take the findings' line breaks.
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, scale().scaled(kTipWidth));
    SendMessageW(grid_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    SetWindowSubclass(grid_, &ScriptWindow::gridProc, kGridSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
    placeGrid();
    rendererId_ = host.addRenderer([this] { renderGrid(); });
    renderGrid();
}

ScriptWindow::~ScriptWindow() {
    host_.removeRenderer(rendererId_);
    RemoveWindowSubclass(grid_, &ScriptWindow::gridProc, kGridSubclass);
    if (tips_ != nullptr) {
        DestroyWindow(tips_);
    }
}

win32kit::Scale& ScriptWindow::scale() {
    return window_->binder().scale();
}

void ScriptWindow::hover(POINT at) {
    LVHITTESTINFO hit{};
    hit.pt = at;
    SendMessageW(grid_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    const std::pair<int, int> cell =
        hit.iItem >= 0 ? std::pair(hit.iItem + 1, hit.iSubItem + 1) : std::pair(0, 0);
    if (cell == hovered_) {
        return;
    }
    forgetHover();
    hovered_ = cell;
    const std::string& tip = model_.vbalGrid1.cell(cell.first, cell.second).tip;
    if (cell.first == 0 || tip.empty()) {
        return;
    }
    // A tool of its own for each cell, so that the tip shows again over the next one.
    RECT r{};
    r.top = cell.second - 1;
    r.left = cell.second == 1 ? LVIR_LABEL : LVIR_BOUNDS;
    SendMessageW(grid_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(cell.first - 1),
                 reinterpret_cast<LPARAM>(&r));
    const std::wstring text = win32kit::wide(tip);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = grid_;
    tool.uId = 1;
    tool.rect = r;
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ScriptWindow::forgetHover() {
    hovered_ = {0, 0};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = grid_;
    tool.uId = 1;
    SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK ScriptWindow::gridProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
    LRESULT result = 0;
    // A handler that throws has the key dropped; the program goes on.
    win32kit::guarded("script grid message", [&] {
        result =
            reinterpret_cast<ScriptWindow*>(self)->gridMessage(window, message, wParam, lParam);
    });
    return result;
}

LRESULT ScriptWindow::gridMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE) {
        hover({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    } else if (message == WM_VSCROLL || message == WM_HSCROLL || message == WM_MOUSEWHEEL) {
        forgetHover();
    }
    if (message != WM_KEYDOWN) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const int key = static_cast<int>(wParam);
    // The arrow, page, Home and End keys walk the rows; they run nothing.
    if (const std::optional<script::GridMove> move = gridMove(key)) {
        const int pageRows = std::max(1, ListView_GetCountPerPage(grid_));
        window_->binder().dispatch(
            [this, move, pageRows] { model_.vbalGrid1.moveSelection(*move, pageRows); });
        return 0;
    }
    const int shift = (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                      (GetKeyState(VK_MENU) < 0 ? 4 : 0);
    bool doDefault = true;
    const bool ran = window_->binder().dispatch(
        [this, key, shift, &doDefault] { model_.vbalGrid1_KeyDown(key, shift, doDefault); });
    // A key the model took, or one dropped while another handler runs, never moves the list.
    if (!ran || !doDefault) {
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void ScriptWindow::placeGrid() {
    RECT client{};
    GetClientRect(window_->handle(), &client);
    win32kit::Scale& s = scale();
    const int height = std::max(s.scaled(40), static_cast<int>(client.bottom) - s.scaled(kGridTop) -
                                                  s.scaled(kBottomMargin));
    MoveWindow(grid_, s.scaled(kMargin), s.scaled(kGridTop), client.right - 2 * s.scaled(kMargin),
               height, TRUE);
}

void ScriptWindow::renderGrid() {
    const script::ScriptGrid& grid = model_.vbalGrid1;
    ShowWindow(grid_, model_.vbalGrid1.Visible ? SW_SHOWNA : SW_HIDE);
    if (grid.revision() == revision_) {
        return;
    }
    revision_ = grid.revision();
    // The cell under the pointer may hold another row now.
    forgetHover();
    if (columns_ != grid.Columns()) {
        while (SendMessageW(grid_, LVM_DELETECOLUMN, 0, 0) != 0) {
        }
        for (int c = 1; c <= grid.Columns(); ++c) {
            std::wstring header = win32kit::wide(grid.ColumnHeader(c));
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            // The data columns centre their short hex texts; "Comment" reads from the left.
            column.fmt = grid.ColumnCode(c) == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
            column.pszText = header.data();
            column.cx = scale().scaled(grid.ColumnWidth(c));
            SendMessageW(grid_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c - 1),
                         reinterpret_cast<LPARAM>(&column));
        }
        columns_ = grid.Columns();
        shown_.clear();
        // The last column ("Comment") takes what is left of the grid's width.
        SendMessageW(grid_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(columns_ - 1),
                     LVSCW_AUTOSIZE_USEHEADER);
    }
    // Only the rows whose texts or colours changed are repainted; the list asks for the texts.
    if (static_cast<int>(shown_.size()) != grid.Rows()) {
        shown_.resize(static_cast<std::size_t>(grid.Rows()));
        SendMessageW(grid_, LVM_SETITEMCOUNT, static_cast<WPARAM>(grid.Rows()),
                     LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    }
    for (int r = 1; r <= grid.Rows(); ++r) {
        auto row = rowOf(grid, r);
        if (row != shown_[static_cast<std::size_t>(r - 1)]) {
            shown_[static_cast<std::size_t>(r - 1)] = std::move(row);
            SendMessageW(grid_, LVM_REDRAWITEMS, static_cast<WPARAM>(r - 1), r - 1);
        }
    }
    if (grid.SelectedRow() >= 1) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(grid_, LVM_SETITEMSTATE, static_cast<WPARAM>(grid.SelectedRow() - 1),
                     reinterpret_cast<LPARAM>(&item));
        SendMessageW(grid_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(grid.SelectedRow() - 1), FALSE);
    }
    UpdateWindow(grid_);
}

void ScriptWindow::cellText(NMLVDISPINFOW& info) {
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.pszText == nullptr ||
        info.item.cchTextMax <= 0) {
        return;
    }
    const auto& grid = model_.vbalGrid1;
    const int row = info.item.iItem + 1;
    const int column = info.item.iSubItem + 1;
    std::wstring text;
    if (row >= 1 && row <= grid.Rows() && column >= 1 && column <= grid.Columns()) {
        text = win32kit::wide(grid.CellText(row, column));
    }
    lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
}

LRESULT ScriptWindow::customDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const int row = static_cast<int>(draw.nmcd.dwItemSpec) + 1;
            const int column = draw.iSubItem + 1;
            const auto& grid = model_.vbalGrid1;
            if (row > grid.Rows() || column > grid.Columns()) {
                return CDRF_DODEFAULT;
            }
            const script::CellColor colour = grid.CellBackColor(row, column);
            draw.clrTextBk = cellColour(colour, GetSysColor(COLOR_WINDOW));
            draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

bool ScriptWindow::onMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_SIZE) {
        if (grid_ != nullptr) {
            model_.Form_Resize(scale().twips(LOWORD(lParam)), scale().twips(HIWORD(lParam)),
                               wParam == SIZE_MINIMIZED);
            placeGrid();
        }
        return false;
    }
    if (message == win32kit::kDpiChanged && grid_ != nullptr) {
        window_->changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        SendMessageW(grid_, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), TRUE);
        SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, scale().scaled(kTipWidth));
        // The columns are made again at their widths for the new DPI.
        columns_ = -1;
        revision_ = ~std::uint64_t{0};
        renderGrid();
        placeGrid();
        result = 0;
        return true;
    }
    if (message != WM_NOTIFY) {
        return false;
    }
    auto* note = reinterpret_cast<NMHDR*>(lParam);
    if (note->hwndFrom != grid_) {
        return false;
    }
    auto& binder = window_->binder();
    switch (note->code) {
        case LVN_GETDISPINFOW:
            cellText(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
            result = 0;
            return true;
        case NM_CUSTOMDRAW:
            result = customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            return true;
        case NM_CLICK: {
            const int row = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem + 1;
            if (row >= 1) {
                binder.dispatch([this, row] { model_.vbalGrid1.setSelectedRow(row); });
            }
            result = 0;
            return true;
        }
        case NM_DBLCLK: {
            const auto* hit = reinterpret_cast<NMITEMACTIVATE*>(lParam);
            const int row = hit->iItem + 1;
            const int column = hit->iSubItem + 1;
            if (row >= 1) {
                binder.dispatch([this, row, column] {
                    model_.vbalGrid1.setSelectedRow(row);
                    model_.vbalGrid1_DblClick(row, column);
                });
            }
            result = 0;
            return true;
        }
        case NM_RETURN: {
            // Enter on the selected row runs it, as a double click does.
            const int selected = model_.vbalGrid1.SelectedRow();
            if (selected >= 1 && selected <= model_.vbalGrid1.Rows()) {
                binder.dispatch([this, selected] { model_.actOnRow(selected); });
            }
            result = 0;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace win32views
