#include "win32views/RegisterMapWindow.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <utility>

#include "win32kit/Guard.h"
#include "win32kit/Scale.h"
#include "win32kit/Surface.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32views {

namespace {

using regmap::EnumeratedValue;
using regmap::Field;
using regmap::Register;

constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
// The client size at start, the margins, the gaps, the controls' heights and the room around a
// cell's text, at 96 DPI.
constexpr int kStartWidth = 640;
constexpr int kStartHeight = 480;
constexpr int kMargin = 9;
constexpr int kGap = 6;
constexpr int kRowHeight = 23;
constexpr int kBoxHeight = 21;
constexpr int kAddressWidth = 40;
constexpr int kFilterWidth = 120;
constexpr int kButtonPadding = 24;
constexpr int kCellPadding = 16;
constexpr int kBoxImage = 16;
// Rows a list of enumerated names shows when dropped down.
constexpr int kDroppedRows = 8;
// The background of a register value that differs from the reset value, as in the Qt window.
constexpr COLORREF kDiffers = RGB(255, 236, 160);
// The subclasses of the list and of the editor.
constexpr UINT_PTR kListSubclass = 1;
constexpr UINT_PTR kEditorSubclass = 2;
// Posted to the window: an editor closed while it handled a message of its own goes now.
constexpr UINT kDropEditor = WM_APP + 2;
// The expander images: none (a field), closed, open.
constexpr int kNoBox = 0;
constexpr int kClosedBox = 1;
constexpr int kOpenBox = 2;

const wchar_t* const kHeaders[RegisterMapWindow::kColumns] = {
    L"Address", L"Name", L"Value", L"\u2260 reset", L"Enum", L"Reset", L"Access"};

std::string hexText(std::uint32_t value, unsigned digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (text.size() < digits) {
        text.insert(text.begin(), '0');
    }
    return text;
}

std::string fieldNumber(std::uint32_t value) {
    return value <= 9 ? std::to_string(value) : "0x" + hexText(value, 0);
}

std::string bitsText(const Field& field) {
    return field.width == 1 ? std::to_string(field.lsb)
                            : std::to_string(field.msb()) + ".." + std::to_string(field.lsb);
}

std::wstring trimmed(std::wstring text) {
    const auto blank = [](wchar_t c) { return std::iswspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    return text;
}

int textWidth(HDC dc, const std::string& text) {
    const std::wstring w = win32kit::wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    return size.cx;
}

// The expander boxes as a tree view draws them, `size` pixels square: a blank, a box with a
// plus, a box with a minus.
HIMAGELIST makeBoxes(int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 3, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, 3 * size, size);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, strip);
    const COLORREF mask = RGB(255, 0, 255);
    HBRUSH maskBrush = CreateSolidBrush(mask);
    RECT all{0, 0, 3 * size, size};
    FillRect(dc, &all, maskBrush);
    DeleteObject(maskBrush);
    const int side = (size / 2) | 1;  // odd, so that the cross has a middle
    const int inset = (size - side) / 2;
    HPEN frame = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HPEN cross = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    for (int k = kClosedBox; k <= kOpenBox; ++k) {
        const int left = k * size + inset;
        HGDIOBJ oldPen = SelectObject(dc, frame);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, left, inset, left + side, inset + side);
        SelectObject(dc, cross);
        const int middle = side / 2;
        MoveToEx(dc, left + 2, inset + middle, nullptr);
        LineTo(dc, left + side - 2, inset + middle);
        if (k == kClosedBox) {
            MoveToEx(dc, left + middle, inset + 2, nullptr);
            LineTo(dc, left + middle, inset + side - 2);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
    DeleteObject(frame);
    DeleteObject(cross);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    ImageList_AddMasked(images, strip, mask);
    DeleteObject(strip);
    return images;
}

}  // namespace

RegisterMapWindow::RegisterMapWindow(regmap::frmRegisterMap& model, form::UserEventGate& gate,
                                     win32kit::Win32Host& host, std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    window_ = win32kit::createTopWindow(win32kit::wide(model_.Caption), kStyle,
                                        scale().scaled(kStartWidth), scale().scaled(kStartHeight),
                                        nullptr, this);
    // Made on a screen of another DPI than the system's: sized for that one.
    if (const int dpi = win32kit::windowDpi(window_); dpi != scale().dpi()) {
        binder_.setDpi(dpi);
        win32kit::setClientSize(window_, scale().scaled(kStartWidth), scale().scaled(kStartHeight),
                                dpi);
    }
    win32kit::fitOnScreen(window_);
    // Created in the tab order.
    open_ = makeControl(WC_BUTTONW, L"Open Map...", WS_TABSTOP | BS_PUSHBUTTON, 0, "cmdOpen");
    addressLabel_ = makeControl(WC_STATICW, L"I2C Addr", SS_LEFT | SS_CENTERIMAGE, 0, "lblAddress");
    address_ = makeControl(WC_EDITW, L"", WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL | ES_UPPERCASE,
                           WS_EX_CLIENTEDGE, "txtAddress");
    filter_ =
        makeControl(WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, "txtFilter");
    SendMessageW(filter_, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(L"Filter register and field names"));
    readAll_ = makeControl(WC_BUTTONW, L"Read All", WS_TABSTOP | BS_PUSHBUTTON, 0, "cmdReadAll");
    list_ = makeControl(WC_LISTVIEWW, L"",
                        WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                            LVS_NOSORTHEADER | LVS_OWNERDATA,
                        WS_EX_CLIENTEDGE, "tvwRegisters");
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    boxes_ = makeBoxes(scale().scaled(kBoxImage));
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(boxes_));
    for (int c = 0; c < kColumns; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(kHeaders[c]);
        column.cx = scale().scaled(60);
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                     reinterpret_cast<LPARAM>(&column));
    }
    SetWindowSubclass(list_, &RegisterMapWindow::subclassProc, kListSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
    arrange();
    rendererId_ = host.addRenderer([this] { render(); });
}

RegisterMapWindow::~RegisterMapWindow() {
    host_.removeRenderer(rendererId_);
    RemoveWindowSubclass(list_, &RegisterMapWindow::subclassProc, kListSubclass);
    if (window_ != nullptr) {
        win32kit::setTarget(window_, nullptr);
        DestroyWindow(window_);
    }
    if (boxes_ != nullptr) {
        ImageList_Destroy(boxes_);
    }
}

HWND RegisterMapWindow::makeControl(const wchar_t* cls, const wchar_t* text, DWORD style,
                                    DWORD exStyle, const char* name) {
    HWND w = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0,
                             0, 10, 10, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + controls_.size())),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), FALSE);
    controls_.emplace_back(name, w);
    return w;
}

void RegisterMapWindow::arrange() {
    RECT client{};
    GetClientRect(window_, &client);
    HDC dc = GetDC(window_);
    win32kit::Scale& s = scale();
    HGDIOBJ old = SelectObject(dc, s.messageFont());
    const auto widthOf = [dc](HWND w) {
        return textWidth(dc, win32kit::narrow(win32kit::windowText(w)));
    };
    const int margin = s.scaled(kMargin);
    const int gap = s.scaled(kGap);
    const int row = s.scaled(kRowHeight);
    const int box = s.scaled(kBoxHeight);
    const int openWidth = widthOf(open_) + s.scaled(kButtonPadding);
    const int labelWidth = widthOf(addressLabel_) + s.scaled(2);
    const int readWidth = std::max(s.scaled(75), widthOf(readAll_) + s.scaled(kButtonPadding));
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    const int addressWidth = s.scaled(kAddressWidth);
    // The filter takes what the others leave, but never less than its own minimum.
    const int fixed = 2 * margin + openWidth + labelWidth + addressWidth + readWidth + 4 * gap;
    const int filterWidth =
        std::max(s.scaled(kFilterWidth), static_cast<int>(client.right) - fixed);
    const int boxTop = margin + (row - box) / 2;
    int x = margin;
    const auto place = [&](HWND w, int width, int top, int height) {
        MoveWindow(w, x, top, width, height, TRUE);
        x += width + gap;
    };
    place(open_, openWidth, margin, row);
    place(addressLabel_, labelWidth, margin, row);
    place(address_, addressWidth, boxTop, box);
    place(filter_, filterWidth, boxTop, box);
    place(readAll_, readWidth, margin, row);
    const int listTop = margin + row + gap;
    MoveWindow(list_, margin, listTop, std::max(0L, client.right - 2 * margin),
               std::max(0L, client.bottom - listTop - margin), TRUE);
    placeEditor();
}

void RegisterMapWindow::measureColumns() {
    HDC dc = GetDC(list_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0)));
    const int padding = scale().scaled(kCellPadding);
    const int image = scale().scaled(kBoxImage);
    int widths[kColumns] = {};
    for (int c = 0; c < kColumns; ++c) {
        widths[c] = textWidth(dc, win32kit::narrow(kHeaders[c]));
    }
    if (model_.map()) {
        const auto& registers = model_.map()->registers;
        for (std::size_t i = 0; i < registers.size(); ++i) {
            const Register& reg = registers[i];
            for (int f = -1; f < static_cast<int>(reg.fields.size()); ++f) {
                const Row row{static_cast<int>(i), f};
                for (int c = 0; c < kColumns; ++c) {
                    // The first column holds the expander box, and a field's is indented by one.
                    const int extra = c == kAddress ? image * (f < 0 ? 1 : 2) : 0;
                    widths[c] = std::max(widths[c], textWidth(dc, cellTextOf(row, c)) + extra);
                }
                if (f < 0) {
                    continue;
                }
                for (const EnumeratedValue& named :
                     reg.fields[static_cast<std::size_t>(f)].values) {
                    widths[kEnum] = std::max(widths[kEnum], textWidth(dc, named.name));
                }
            }
        }
    }
    // The values come later: room for the widest of them now.
    widths[kValue] = std::max(widths[kValue], textWidth(dc, "00000000"));
    SelectObject(dc, old);
    ReleaseDC(list_, dc);
    for (int c = 0; c < kColumns - 1; ++c) {
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), widths[c] + padding);
    }
    // The last column takes what is left of the list's width.
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, kColumns - 1, LVSCW_AUTOSIZE_USEHEADER);
}

std::string RegisterMapWindow::cellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return {};
    }
    return cellTextOf(rows_[static_cast<std::size_t>(row)], column);
}

std::string RegisterMapWindow::cellTextOf(const Row& row, int column) const {
    if (!model_.map() || row.reg < 0 ||
        row.reg >= static_cast<int>(model_.map()->registers.size())) {
        return {};
    }
    const regmap::RegisterMap& map = *model_.map();
    const Register& reg = map.registers[static_cast<std::size_t>(row.reg)];
    const regmap::frmRegisterMap::RegisterState& state =
        model_.states()[static_cast<std::size_t>(row.reg)];
    const bool known = state.value.has_value();
    if (row.field < 0) {
        switch (column) {
            case kAddress:
                return hexText(reg.address, static_cast<unsigned>(map.registerAddressBytes() * 2));
            case kName:
                return reg.name;
            case kValue:
                return state.failed    ? "--"
                       : known         ? hexText(*state.value, reg.width / 4)
                       : state.notRead ? "not read"
                                       : "";
            case kMark:
                return known && reg.differsFromReset(*state.value) ? "\u2260" : "";
            case kReset:
                return reg.resetMask == 0 ? "?" : hexText(reg.resetValue, reg.width / 4);
            case kAccess:
                return std::string(regmap::accessName(reg.access, reg.writeKind));
            default:
                return {};
        }
    }
    const Field& field = reg.fields[static_cast<std::size_t>(row.field)];
    switch (column) {
        case kAddress:
            return bitsText(field);
        case kName:
            return field.name;
        case kValue:
            return known ? fieldNumber(field.extract(*state.value)) : "";
        case kEnum: {
            const EnumeratedValue* named =
                known ? field.valueFor(field.extract(*state.value)) : nullptr;
            return named != nullptr ? named->name : "";
        }
        case kReset:
            return fieldNumber(field.reset);
        case kAccess:
            return std::string(regmap::accessName(field.access, field.writeKind));
        default:
            return {};
    }
}

void RegisterMapWindow::layRows() {
    const std::optional<Row> selected = selectedRow();
    rows_.clear();
    if (model_.map()) {
        const auto& registers = model_.map()->registers;
        for (std::size_t i = 0; i < registers.size(); ++i) {
            if (!model_.registerMatches(i)) {
                continue;
            }
            rows_.push_back({static_cast<int>(i), -1});
            if (!expanded_[i]) {
                continue;
            }
            // A register whose own name matches shows all its fields.
            const Register& reg = registers[i];
            const bool all = model_.nameMatches(reg.name);
            for (std::size_t j = 0; j < reg.fields.size(); ++j) {
                if (all || model_.fieldMatches(reg.fields[j])) {
                    rows_.push_back({static_cast<int>(i), static_cast<int>(j)});
                }
            }
        }
    }
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    InvalidateRect(list_, nullptr, FALSE);
    if (selected && indexOf(*selected) >= 0) {
        selectRow(*selected);
    } else {
        // The row selected went: no other row takes its place.
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&none));
    }
    if (editing_ && indexOf(editing_->row) < 0) {
        endEdit(false);
    }
    placeEditor();
}

std::optional<RegisterMapWindow::Row> RegisterMapWindow::selectedRow() const {
    const auto index = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0 || index >= static_cast<int>(rows_.size())) {
        return std::nullopt;
    }
    return rows_[static_cast<std::size_t>(index)];
}

void RegisterMapWindow::selectRow(const Row& row) {
    const int index = indexOf(row);
    if (index < 0) {
        return;
    }
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

int RegisterMapWindow::indexOf(const Row& row) const {
    const auto found = std::find(rows_.begin(), rows_.end(), row);
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

void RegisterMapWindow::setExpanded(int reg, bool expanded) {
    if (reg < 0 || reg >= static_cast<int>(expanded_.size()) ||
        expanded_[static_cast<std::size_t>(reg)] == expanded) {
        return;
    }
    expanded_[static_cast<std::size_t>(reg)] = expanded;
    layRows();
}

bool RegisterMapWindow::editable(const Row& row) const {
    if (!model_.map() || row.field < 0) {
        return false;
    }
    const Register& reg = model_.map()->registers[static_cast<std::size_t>(row.reg)];
    return regmap::writable(reg.access) &&
           regmap::writable(reg.fields[static_cast<std::size_t>(row.field)].access);
}

bool RegisterMapWindow::beginEdit(const Row& row) {
    if (!editable(row) || indexOf(row) < 0) {
        return false;
    }
    endEdit(true);
    const Field& field = model_.map()
                             ->registers[static_cast<std::size_t>(row.reg)]
                             .fields[static_cast<std::size_t>(row.field)];
    const bool names = !field.values.empty();
    Editing e;
    e.row = row;
    e.box =
        CreateWindowExW(0, names ? WC_COMBOBOXW : WC_EDITW, L"",
                        WS_CHILD | WS_CLIPSIBLINGS |
                            (names ? WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_CLIPCHILDREN
                                   : WS_BORDER | ES_AUTOHSCROLL),
                        0, 0, 10, 10, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(e.box, WM_SETFONT, reinterpret_cast<WPARAM>(scale().messageFont()), FALSE);
    e.edit = e.box;
    if (names) {
        HDC dc = GetDC(e.box);
        HGDIOBJ old = SelectObject(dc, scale().messageFont());
        for (const EnumeratedValue& named : field.values) {
            SendMessageW(e.box, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(win32kit::wide(named.name).c_str()));
            e.width = std::max(e.width, textWidth(dc, named.name));
        }
        SelectObject(dc, old);
        ReleaseDC(e.box, dc);
        e.width += scrollBarWidth() + scale().scaled(kCellPadding);
        fitNamesToRow(e.box, row);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(e.box, &info) && info.hwndItem != nullptr) {
            e.edit = info.hwndItem;
        }
    }
    editing_ = e;
    // At its cell's width before it takes its text, so that the text shows from its start.
    placeEditor();
    const std::wstring shown = win32kit::wide(cellTextOf(row, kValue));
    // A list opens on the current value's name, else on its number.
    const std::wstring named = win32kit::wide(cellTextOf(row, kEnum));
    const auto at = !names || named.empty()
                        ? CB_ERR
                        : SendMessageW(e.box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(named.c_str()));
    if (at != CB_ERR) {
        SendMessageW(e.box, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    } else {
        SetWindowTextW(e.box, shown.c_str());
    }
    SendMessageW(e.edit, EM_SETSEL, 0, -1);
    editing_->openedWith = win32kit::narrow(trimmed(win32kit::windowText(e.box)));
    SetWindowSubclass(e.edit, &RegisterMapWindow::subclassProc, kEditorSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
    SetFocus(e.edit);
    return true;
}

void RegisterMapWindow::endEdit(bool commit, std::optional<std::wstring> text, bool refocus) {
    if (!editing_) {
        return;
    }
    const Editing e = *editing_;
    editing_.reset();
    const std::string given = win32kit::narrow(trimmed(text ? *text : win32kit::windowText(e.box)));
    RemoveWindowSubclass(e.edit, &RegisterMapWindow::subclassProc, kEditorSubclass);
    HWND focus = GetFocus();
    if (refocus && (focus == e.box || IsChild(e.box, focus))) {
        SetFocus(list_);
    }
    // The editor may be inside one of its own messages: it goes once they are done.
    ShowWindow(e.box, SW_HIDE);
    PostMessageW(window_, kDropEditor, reinterpret_cast<WPARAM>(e.box), 0);
    // An editor left without a change writes nothing.
    if (!commit || given.empty() || given == e.openedWith || !model_.map()) {
        return;
    }
    const Row row = e.row;
    binder_.dispatch([this, row, given] {
        if (!model_.map() || row.reg >= static_cast<int>(model_.map()->registers.size())) {
            return;
        }
        const Register& reg = model_.map()->registers[static_cast<std::size_t>(row.reg)];
        const Field field = reg.fields[static_cast<std::size_t>(row.field)];
        model_.writeField(static_cast<std::size_t>(row.reg), field, given);
    });
}

int RegisterMapWindow::scrollBarWidth() {
    return MulDiv(GetSystemMetrics(SM_CXVSCROLL), scale().dpi(), win32kit::systemDpi());
}

void RegisterMapWindow::fitNamesToRow(HWND names, const Row& row) {
    RECT rowRect{};
    rowRect.left = LVIR_BOUNDS;
    if (SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(indexOf(row)),
                     reinterpret_cast<LPARAM>(&rowRect)) != 0) {
        SendMessageW(names, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                     rowRect.bottom - rowRect.top - scale().scaled(6));
    }
}

void RegisterMapWindow::changeDpi(int dpi, const RECT& suggested) {
    const int old = scale().dpi();
    if (dpi == old) {
        return;
    }
    binder_.setDpi(dpi);
    HFONT font = scale().messageFont();
    for (const auto& [name, w] : controls_) {
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HIMAGELIST previous = std::exchange(boxes_, makeBoxes(scale().scaled(kBoxImage)));
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(boxes_));
    ImageList_Destroy(previous);
    if (editing_) {
        SendMessageW(editing_->box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        editing_->width = MulDiv(editing_->width, dpi, old);
    }
    measureColumns();
    // The move's WM_SIZE places the tool row and the list at the new DPI; one at the same size
    // gets none.
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    arrange();
    if (editing_ && editing_->box != editing_->edit) {
        fitNamesToRow(editing_->box, editing_->row);
    }
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}

void RegisterMapWindow::placeEditor() {
    if (!editing_) {
        return;
    }
    const int index = indexOf(editing_->row);
    RECT cell{};
    cell.top = kValue;
    cell.left = LVIR_BOUNDS;
    RECT view{};
    GetClientRect(list_, &view);
    RECT header{};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0)), &header);
    view.top += header.bottom - header.top;
    RECT seen{};
    if (index < 0 ||
        SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&cell)) == 0 ||
        !IntersectRect(&seen, &cell, &view) || !EqualRect(&seen, &cell)) {
        // Scrolled out of sight: it comes back with its row.
        ShowWindow(editing_->box, SW_HIDE);
        return;
    }
    MapWindowPoints(list_, window_, reinterpret_cast<POINT*>(&cell), 2);
    const int height = cell.bottom - cell.top;
    const bool list = editing_->box != editing_->edit;
    SetWindowPos(editing_->box, HWND_TOP, cell.left, cell.top,
                 std::max(static_cast<int>(cell.right - cell.left), editing_->width),
                 list ? height * (kDroppedRows + 1) : height, SWP_SHOWWINDOW);
}

void RegisterMapWindow::cellInfo(NMLVDISPINFOW& info) const {
    const int index = info.item.iItem;
    if (index < 0 || index >= static_cast<int>(rows_.size())) {
        return;
    }
    const Row& row = rows_[static_cast<std::size_t>(index)];
    if ((info.item.mask & LVIF_TEXT) != 0 && info.item.pszText != nullptr &&
        info.item.cchTextMax > 0) {
        const std::wstring text = win32kit::wide(cellTextOf(row, info.item.iSubItem));
        lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
    }
    if (info.item.iSubItem != 0) {
        return;
    }
    const bool hasFields =
        !model_.map()->registers[static_cast<std::size_t>(row.reg)].fields.empty();
    if ((info.item.mask & LVIF_IMAGE) != 0) {
        info.item.iImage = row.field >= 0 || !hasFields                   ? kNoBox
                           : expanded_[static_cast<std::size_t>(row.reg)] ? kOpenBox
                                                                          : kClosedBox;
    }
    if ((info.item.mask & LVIF_INDENT) != 0) {
        info.item.iIndent = row.field >= 0 ? 1 : 0;
    }
}

LRESULT RegisterMapWindow::customDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const auto index = static_cast<int>(draw.nmcd.dwItemSpec);
            if (index >= static_cast<int>(rows_.size()) ||
                SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) !=
                    0) {
                return CDRF_DODEFAULT;
            }
            const Row& row = rows_[static_cast<std::size_t>(index)];
            const bool differs =
                row.field < 0 && draw.iSubItem == kValue && !cellTextOf(row, kMark).empty();
            draw.clrTextBk = differs ? kDiffers : GetSysColor(COLOR_WINDOW);
            draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

std::optional<std::pair<RegisterMapWindow::Row, LVHITTESTINFO>> RegisterMapWindow::hitRow(
    POINT at) const {
    LVHITTESTINFO where{};
    where.pt = at;
    SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&where));
    if (where.iItem < 0 || where.iItem >= static_cast<int>(rows_.size())) {
        return std::nullopt;
    }
    return std::make_pair(rows_[static_cast<std::size_t>(where.iItem)], where);
}

void RegisterMapWindow::clicked(const NMITEMACTIVATE& hit) {
    const auto found = hitRow(hit.ptAction);
    if (!found) {
        return;
    }
    const auto& [row, where] = *found;
    if (row.field < 0 && where.iSubItem == 0 && (where.flags & LVHT_ONITEMICON) != 0) {
        setExpanded(row.reg, !expanded_[static_cast<std::size_t>(row.reg)]);
    } else if (where.iItem == selectedAtPress_ && where.iSubItem == kValue) {
        beginEdit(row);
    }
}

void RegisterMapWindow::doubleClicked(const NMITEMACTIVATE& hit) {
    const auto found = hitRow(hit.ptAction);
    if (!found) {
        return;
    }
    const Row row = found->first;
    if (row.field >= 0) {
        beginEdit(row);
        return;
    }
    // A register a read changes is read only when asked for by name: a double click on it.
    if ((found->second.flags & LVHT_ONITEMICON) == 0) {
        setExpanded(row.reg, !expanded_[static_cast<std::size_t>(row.reg)]);
    }
    binder_.dispatch([this, row] { model_.readRegister(static_cast<std::size_t>(row.reg)); });
}

bool RegisterMapWindow::listKey(WPARAM key) {
    const std::optional<Row> row = selectedRow();
    if (!row) {
        return false;
    }
    const bool open = row->field < 0 && expanded_[static_cast<std::size_t>(row->reg)];
    switch (key) {
        case VK_F2:
            beginEdit(*row);
            return true;
        case VK_RIGHT:
        case VK_ADD:
            if (row->field < 0 && !open) {
                setExpanded(row->reg, true);
            } else if (open && key == VK_RIGHT &&
                       indexOf(*row) + 1 < static_cast<int>(rows_.size()) &&
                       rows_[static_cast<std::size_t>(indexOf(*row) + 1)].reg == row->reg) {
                selectRow(rows_[static_cast<std::size_t>(indexOf(*row) + 1)]);
            }
            return true;
        case VK_LEFT:
        case VK_SUBTRACT:
            if (open) {
                setExpanded(row->reg, false);
            } else if (row->field >= 0 && key == VK_LEFT) {
                selectRow({row->reg, -1});
            }
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK RegisterMapWindow::subclassProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR self) {
    auto* view = reinterpret_cast<RegisterMapWindow*>(self);
    LRESULT result = 0;
    // A handler that throws has its message dropped; the program goes on.
    win32kit::guarded("register map message", [&] {
        result = id == kListSubclass ? view->listMessage(window, message, wParam, lParam)
                                     : view->editorMessage(window, message, wParam, lParam);
    });
    return result;
}

LRESULT RegisterMapWindow::listMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (listKey(wParam)) {
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            selectedAtPress_ = static_cast<int>(
                SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            break;
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_MOUSEWHEEL:
        case WM_NOTIFY: {
            // Scrolled, or a column resized: the editor follows its cell.
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            placeEditor();
            return result;
        }
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT RegisterMapWindow::editorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool dropped = editing_ && editing_->box != editing_->edit &&
                         SendMessageW(editing_->box, CB_GETDROPPEDSTATE, 0, 0) != 0;
    const bool enterOrEsc = wParam == VK_RETURN || wParam == VK_ESCAPE;
    switch (message) {
        case WM_GETDLGCODE: {
            // Enter and Esc end the edit here instead of pressing the window's buttons.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const LRESULT code = DefSubclassProc(window, message, wParam, lParam);
            if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
                (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
                return code | DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN:
            // With the names dropped down, the list takes Enter (a pick) and Esc itself.
            if (enterOrEsc && !dropped) {
                endEdit(wParam == VK_RETURN);
                return 0;
            }
            break;
        case WM_CHAR:
            if (enterOrEsc && !dropped) {
                return 0;
            }
            break;
        case WM_KILLFOCUS: {
            // The focus went to another control of this window: the edit is done, as in Qt. The
            // names' own list and other windows leave it open.
            const auto next = reinterpret_cast<HWND>(wParam);
            if (editing_ && next != nullptr && next != editing_->box &&
                !IsChild(editing_->box, next) && GetAncestor(next, GA_ROOT) == window_) {
                const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
                endEdit(true, std::nullopt, false);
                return result;
            }
            break;
        }
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void RegisterMapWindow::press(HWND button, const std::function<void()>& handler) {
    const bool hadFocus = GetFocus() == button;
    binder_.dispatch(handler);
    // The button lost the focus while it was painted disabled; a second Enter presses it again.
    if (hadFocus && GetFocus() == nullptr && IsWindowEnabled(button) && IsWindowVisible(window_)) {
        SetFocus(button);
    }
}

void RegisterMapWindow::render() {
    if (paintedCaption_ != model_.Caption) {
        paintedCaption_ = model_.Caption;
        SetWindowTextW(window_, win32kit::wide(model_.Caption).c_str());
    }
    painting_ = true;
    const std::wstring address = win32kit::wide(model_.address);
    if (GetFocus() != address_ && win32kit::windowText(address_) != address) {
        SetWindowTextW(address_, address.c_str());
    }
    painting_ = false;
    const bool busy = binder_.busyLooks();
    const int enabled = (busy ? 0 : 1) | (!busy && model_.map() ? 2 : 0);
    if (paintedEnabled_ != enabled) {
        paintedEnabled_ = enabled;
        EnableWindow(open_, (enabled & 1) != 0);
        EnableWindow(readAll_, (enabled & 2) != 0);
    }
    if (paintedMap_ != model_.mapGeneration()) {
        paintedMap_ = model_.mapGeneration();
        endEdit(false);
        expanded_.assign(model_.map() ? model_.map()->registers.size() : 0, false);
        rows_.clear();
        SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
        measureColumns();
        paintedFilter_.reset();
        paintedRevision_ = ~std::uint64_t{0};
    }
    if (paintedFilter_ != model_.filter) {
        paintedFilter_ = model_.filter;
        layRows();
    }
    if (paintedRevision_ != model_.revision()) {
        paintedRevision_ = model_.revision();
        InvalidateRect(list_, nullptr, FALSE);
    }
    if (!model_.Visible && IsWindowVisible(window_)) {
        endEdit(false);
        ShowWindow(window_, SW_HIDE);
    }
}

void RegisterMapWindow::show() {
    render();
    const bool first = !IsWindowVisible(window_);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    if (first && lastFocus_ == nullptr) {
        SetFocus(open_);
    }
}

void RegisterMapWindow::hide() {
    endEdit(false);
    ShowWindow(window_, SW_HIDE);
}

bool RegisterMapWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT& result) {
    switch (message) {
        case WM_CLOSE:
            endEdit(false);
            if (onClose_) {
                onClose_();
            }
            host_.renderAll();
            ShowWindow(window_, SW_HIDE);
            result = 0;
            return true;
        case WM_SIZE:
            if (list_ != nullptr && wParam != SIZE_MINIMIZED) {
                arrange();
            }
            return false;
        case win32kit::kDpiChanged:
            changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            result = 0;
            return true;
        case WM_GETMINMAXINFO: {
            // Room for the tool row with the filter at its smallest, and a few rows of the list.
            RECT least{0, 0, scale().scaled(kStartWidth * 3 / 4), scale().scaled(160)};
            win32kit::adjustWindowRect(least, kStyle, false, WS_EX_CONTROLPARENT, scale().dpi());
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {least.right - least.left, least.bottom - least.top};
            result = 0;
            return true;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                lastFocus_ = focus != nullptr && IsChild(window_, focus) ? focus : nullptr;
            } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) &&
                       IsWindowVisible(lastFocus_)) {
                SetFocus(lastFocus_);
            } else {
                SetFocus(open_);
            }
            result = 0;
            return true;
        case kDropEditor:
            DestroyWindow(reinterpret_cast<HWND>(wParam));
            result = 0;
            return true;
        case WM_COMMAND: {
            const auto from = reinterpret_cast<HWND>(lParam);
            const WORD code = HIWORD(wParam);
            if (from == open_ && code == BN_CLICKED) {
                press(open_, [this] { model_.cmdOpen_Click(); });
            } else if (from == readAll_ && code == BN_CLICKED) {
                press(readAll_, [this] { model_.cmdReadAll_Click(); });
            } else if (from == address_ && code == EN_CHANGE && !painting_) {
                std::string text = win32kit::narrow(win32kit::windowText(address_));
                std::transform(text.begin(), text.end(), text.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
                model_.address = text;
            } else if (from == filter_ && code == EN_CHANGE) {
                model_.filter = win32kit::narrow(win32kit::windowText(filter_));
                render();
            } else if (editing_ && from == editing_->box && code == CBN_SELENDOK) {
                // A name picked from the list is written at once, as Enter writes a typed one.
                const auto at = SendMessageW(from, CB_GETCURSEL, 0, 0);
                if (at != CB_ERR) {
                    std::wstring name(
                        static_cast<std::size_t>(SendMessageW(from, CB_GETLBTEXTLEN, at, 0)) + 1,
                        L'\0');
                    name.resize(static_cast<std::size_t>(SendMessageW(
                        from, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(name.data()))));
                    endEdit(true, name);
                }
            }
            // Enter (IDOK) presses the focused button, as in the console; elsewhere it and Esc
            // do nothing.
            if (lParam == 0 && LOWORD(wParam) == IDOK && code == 0) {
                HWND focus = GetFocus();
                if (focus == open_ || focus == readAll_) {
                    SendMessageW(focus, BM_CLICK, 0, 0);
                }
            }
            result = 0;
            return true;
        }
        case WM_NOTIFY: {
            auto* note = reinterpret_cast<NMHDR*>(lParam);
            if (note->hwndFrom != list_) {
                return false;
            }
            switch (note->code) {
                case LVN_GETDISPINFOW:
                    cellInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
                    result = 0;
                    return true;
                case NM_CUSTOMDRAW:
                    result = customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
                    return true;
                case NM_CLICK:
                    clicked(*reinterpret_cast<NMITEMACTIVATE*>(lParam));
                    result = 0;
                    return true;
                case NM_DBLCLK:
                    doubleClicked(*reinterpret_cast<NMITEMACTIVATE*>(lParam));
                    result = 0;
                    return true;
                case LVN_GETINFOTIPW: {
                    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(lParam);
                    if (tip->iItem >= 0 && tip->iItem < static_cast<int>(rows_.size()) &&
                        tip->pszText != nullptr && tip->cchTextMax > 0) {
                        const Row& row = rows_[static_cast<std::size_t>(tip->iItem)];
                        const Register& reg =
                            model_.map()->registers[static_cast<std::size_t>(row.reg)];
                        const auto& state = model_.states()[static_cast<std::size_t>(row.reg)];
                        std::string text =
                            row.field < 0
                                ? reg.description
                                : reg.fields[static_cast<std::size_t>(row.field)].description;
                        if (row.field < 0 && state.notRead && !state.value) {
                            text += (text.empty() ? "" : "\n") +
                                    std::string(
                                        "a read changes this register: double-click to "
                                        "read it");
                        }
                        lstrcpynW(tip->pszText, win32kit::wide(text).c_str(), tip->cchTextMax);
                    }
                    result = 0;
                    return true;
                }
                default:
                    return false;
            }
        }
        default:
            return binder_.onMessage(window, message, wParam, lParam, result);
    }
}

}  // namespace win32views
