// The Win32 window of the "Register Map": a tool row (map file, device address, filter, "Read
// All") over a report list of registers whose rows expand to their fields, with the columns of
// the Qt window. It paints from the model, sends "Open Map...", "Read All", a register's read and
// each field edit through the one-operation gate, and leaves out the rows the filter does not
// match. A field's value is edited in place: a list of its enumerated names (a name picked is
// written at once) or a box for a number; Enter, Tab or a click elsewhere writes the text when it
// differs from the one the editor opened with, Esc drops it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "regmap/frmRegisterMap.h"
#include "win32kit/ControlBinder.h"

namespace win32kit {
class Win32Host;
}

namespace win32views {

class RegisterMapWindow : public win32kit::MessageTarget {
  public:
    // Columns of the list.
    enum Column { kAddress, kName, kValue, kMark, kEnum, kReset, kAccess, kColumns };

    // One row of the list: a register, or one of its fields (field >= 0).
    struct Row {
        int reg = -1;
        int field = -1;
        bool operator==(const Row&) const = default;
    };

    // Builds the hidden window for `model`; `onClose` tells the application the user closed it.
    RegisterMapWindow(regmap::frmRegisterMap& model, form::UserEventGate& gate,
                      win32kit::Win32Host& host, std::function<void()> onClose);
    ~RegisterMapWindow() override;
    RegisterMapWindow(const RegisterMapWindow&) = delete;
    RegisterMapWindow& operator=(const RegisterMapWindow&) = delete;

    // Paints the window from the model: widths are measured again only for a new map, the rows
    // laid out again only when the map, the filter or an expansion changed.
    void render();
    // Shows the window and brings it to the front.
    void show();
    void hide();
    HWND handle() const { return window_; }
    HWND list() const { return list_; }
    // The tool row's controls and the list by their names ("cmdOpen", "txtAddress", ...).
    const std::vector<std::pair<std::string, HWND>>& controls() const { return controls_; }

    // The rows shown, in list order.
    const std::vector<Row>& rows() const { return rows_; }
    // The text of a cell as the list shows it ("" outside the rows).
    std::string cellText(int row, int column) const;
    // Expands or collapses a register's row to show its fields.
    void setExpanded(int reg, bool expanded);
    // The edit box or list of names open on a field's value; null when none is.
    HWND editor() const { return editing_ ? editing_->box : nullptr; }
    // The window's DPI and the fonts made for it.
    win32kit::Scale& scale() { return binder_.scale(); }

    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT& result) override;

  private:
    struct Editing {
        Row row;
        HWND box = nullptr;   // the edit box or the combo box
        HWND edit = nullptr;  // where the keys go (the combo box's own edit box)
        std::string openedWith;
        int width = 0;  // room for the widest name, past the cell when it is narrower
    };

    // Moved to a screen of `dpi`: fonts, expander boxes, columns and tool row made again for it,
    // the window at Windows' suggested rectangle.
    void changeDpi(int dpi, const RECT& suggested);
    // A vertical scroll bar's width at the window's DPI.
    int scrollBarWidth();
    // Makes a list of names' selection field as high as `row` of the list.
    void fitNamesToRow(HWND names, const Row& row);
    HWND makeControl(const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle,
                     const char* name);
    // Runs a button's handler through the gate; the button keeps the focus it had.
    void press(HWND button, const std::function<void()>& handler);
    // Places the tool row and the list for the client area.
    void arrange();
    // Sizes the columns for the map's widest texts, those of collapsed fields too.
    void measureColumns();
    // Lays out the rows from the map, the filter and the expansions, keeping the selection.
    void layRows();
    // The row of the list's selection; nothing when none is selected.
    std::optional<Row> selectedRow() const;
    void selectRow(const Row& row);
    int indexOf(const Row& row) const;
    bool editable(const Row& row) const;
    // Opens the editor on a field row's value; false when the field cannot be written.
    bool beginEdit(const Row& row);
    // Closes the editor; with `commit`, writes its text (or `text`, a name just picked) when it
    // differs from the one it opened with. The focus goes back to the list unless it is leaving
    // for another control (`refocus` false).
    void endEdit(bool commit, std::optional<std::wstring> text = std::nullopt, bool refocus = true);
    // Keeps the editor over its cell after a scroll or a column change.
    void placeEditor();
    std::string cellTextOf(const Row& row, int column) const;
    // Answers the owner-data list's request for a cell.
    void cellInfo(NMLVDISPINFOW& info) const;
    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const;
    // The row under a point of the list, with where on it the point lies; nothing off the rows.
    std::optional<std::pair<Row, LVHITTESTINFO>> hitRow(POINT at) const;
    // A click on a register's box expands or collapses it; on the value of the field already
    // selected it opens the editor.
    void clicked(const NMITEMACTIVATE& hit);
    // A double click reads a register (also one a read changes) and expands or collapses it,
    // or opens the editor on a field.
    void doubleClicked(const NMITEMACTIVATE& hit);
    // The tree's keys: Right and + expand, Left and - collapse or go to the register, F2 edits.
    bool listKey(WPARAM key);
    // The list's and the editor's messages (by subclass id) go to listMessage and editorMessage.
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT listMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT editorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    regmap::frmRegisterMap& model_;
    win32kit::Win32Host& host_;
    win32kit::ControlBinder binder_;
    std::function<void()> onClose_;
    int rendererId_ = 0;
    HWND window_ = nullptr;
    HWND open_ = nullptr;
    HWND addressLabel_ = nullptr;
    HWND address_ = nullptr;
    HWND filter_ = nullptr;
    HWND readAll_ = nullptr;
    HWND list_ = nullptr;
    HWND lastFocus_ = nullptr;
    HIMAGELIST boxes_ = nullptr;
    std::vector<std::pair<std::string, HWND>> controls_;
    std::vector<Row> rows_;
    std::vector<bool> expanded_;
    std::optional<Editing> editing_;
    // The list's selection when the mouse button went down: a click on it opens the editor.
    int selectedAtPress_ = -1;
    std::uint64_t paintedMap_ = ~std::uint64_t{0};
    std::uint64_t paintedRevision_ = ~std::uint64_t{0};
    std::optional<std::string> paintedFilter_;
    std::string paintedCaption_;
    int paintedEnabled_ = -1;
    // True while render() writes into the boxes: their change notices are not the user's.
    bool painting_ = false;
};

}  // namespace win32views
