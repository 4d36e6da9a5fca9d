// Binds the controls of a window model to Win32 controls: builds each control of the model's
// control table at its design place (twips at the screen's DPI), paints it from the model on
// render(), sends the user's edits back and runs the user's events through the application's
// gate. While the gate is busy, the data controls refuse input; the others stay live. Frames and
// pictures become panels that hold their controls; lamps are owner-drawn statics. It also builds a
// window's menu from the model's menu table: entries bound to menu items, enabled and shown as the
// model says. Its code lies in one file per control family (ControlBinder*.cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "form/BinderCore.h"
#include "form/ContainerPlacer.h"
#include "form/ControlGeometry.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/MenuTable.h"
#include "form/UserEventGate.h"
#include "win32kit/Scale.h"
#include "win32kit/Surface.h"

namespace win32kit {

class Win32Host;

class ControlBinder : public MessageTarget {
  public:
    using Role = form::Role;

    ControlBinder(form::UserEventGate& gate, Win32Host& host);
    ~ControlBinder() override;
    ControlBinder(const ControlBinder&) = delete;
    ControlBinder& operator=(const ControlBinder&) = delete;

    // The pixel rectangle of a design rectangle in twips, at the system's DPI.
    static RECT pixels(const form::ControlGeometry& g);
    // The pixel rectangle of a design rectangle in twips, at the window's DPI.
    RECT placeOf(const form::ControlGeometry& g) const;
    // The window's DPI and fonts; the system's DPI until setDpi.
    Scale& scale() { return *scale_; }
    // The window moved to a screen of `dpi`: every built control takes its place and font at the
    // new DPI and captions are fitted again on the next render(); the old fonts go after. The
    // window's own size and its other children are the caller's.
    void setDpi(int dpi);

    // Makes `window` the container that entries naming `name` and `index` lie in; `topShift`
    // twips come off their design tops (a tab page starts below the tab headers).
    void addContainer(std::string_view name, int index, HWND window, int topShift = 0);
    // Creates the control of every entry at its design place and binds it with its events:
    // frames first, so that each control finds its container, then the others in table order
    // (which is the tab order). An entry whose container is unknown is left out.
    void build(const form::ControlTable& table);
    // The window built for a model control; null when the table had none for it.
    HWND window(const form::Control& control) const;

    // One built control: its model name ("name" or "name_index"), kind and window.
    struct Built {
        std::string name;
        std::string kind;
        HWND window;
    };
    const std::vector<Built>& built() const { return built_; }
    // One line per built control, "name<TAB>text" (a caption, a box's text, a box's tick or a
    // lamp's colour index), in table order.
    std::string describe() const;

    // Runs a user event through the gate and repaints every window after it; false when the
    // event was dropped because another handler runs.
    bool dispatch(const std::function<void()>& handler);
    // Paints every bound control and menu entry from its model.
    void render();
    // True when the data controls are painted disabled: an operation runs and has run for the
    // host's busyPaintDelayMs.
    bool busyLooks() const;

    // The menu bar of `owner`, made on first use (give it to createTopWindow).
    HMENU menuBar();
    // The window whose menu bar it is: menu changes redraw its bar, and the entries' shortcuts
    // work while it or one of its controls has the focus.
    void setMenuOwner(HWND owner);
    // Fills the menu bar from `menus`: choosing an entry runs its handler through the gate (Data)
    // or directly (Live); its caption and check mark follow its item at each render(). A
    // shortcut shows after the caption.
    void buildMenus(const form::MenuTable& menus);

    // The messages of the containers and of a view's own window: control notifications,
    // colours, lamps, frames and menu commands.
    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT& result) override;

  private:
    struct Place {
        HWND parent;
        form::ControlGeometry geometry;  // top already shifted for the container
    };
    // What the binder does with a control's messages.
    struct Item {
        std::function<void(WORD notification)> command;
        // Sets the colours of a control about to paint; false leaves the system's.
        std::function<bool(HDC dc, HBRUSH& brush)> colour;
        std::function<void(const DRAWITEMSTRUCT& draw)> draw;
        // Paints a panel the binder made (a frame's border and caption, a picture's band).
        std::function<void(HDC dc, const RECT& area)> paint;
    };
    struct Hooks {
        form::ControlEvents events;
        bool afterDoubleClick = false;
    };
    // A menu entry as built: a command (id), a menu (submenu) or a separator (no item).
    struct MenuEntry {
        HMENU parent;
        UINT id;
        HMENU submenu;
        form::MenuItem* item;
        bool data;
        std::function<void()> run;
        std::string shortcut;
        int enabled = -1;
        int visible = -1;
        int checked = -1;
        std::string caption{};
    };

    // Creates the control of one entry and records it under its model control.
    HWND make(const form::ControlEntry& e, const Place& at);
    // A log (multi-line) or a one-line text box.
    HWND create(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // A heading row (the entry has columns) or a label.
    HWND create(form::Label& label, const form::ControlEntry& e, const Place& at);
    HWND control(const wchar_t* cls, const std::wstring& text, DWORD style, DWORD exStyle,
                 const char* kind, const form::ControlEntry& e, const Place& at);
    // A panel at the entry's place that the binder paints itself (a frame, a picture, a heading
    // row); it keeps its place when the DPI changes.
    HWND panel(const char* kind, const form::ControlEntry& e, const Place& at,
               std::function<std::string()> text);
    // Lists a built control under its model name, with what describe() says of it.
    void record(const form::ControlEntry& e, const char* kind, HWND w,
                std::function<std::string()> text);
    HWND textBox(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    HWND label(form::Label& label, const form::ControlEntry& e, const Place& at);
    // A heading row whose words stand each over one of the entry's column controls.
    HWND headings(form::Label& label, const form::ControlEntry& e, const Place& at);
    HWND create(form::Button& button, const form::ControlEntry& e, const Place& at);
    // A user click stores the new tick in the model, then runs the click handler through the gate
    // (Data) or directly (Live). A tick painted from the model never calls it.
    HWND create(form::CheckBox& box, const form::ControlEntry& e, const Place& at);
    HWND create(form::Lamp& lamp, const form::ControlEntry& e, const Place& at);
    HWND create(form::Frame& frame, const form::ControlEntry& e, const Place& at);
    HWND create(form::Picture& picture, const form::ControlEntry& e, const Place& at);
    // A read-only log that appends the new tail of the model's text, or takes the whole text
    // when the model replaced it or dropped its oldest lines.
    HWND log(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // Shows the control's ToolTipText when the pointer rests on its window.
    void tip(HWND w, const form::Control& control);
    // Runs a click through the gate (Data) or directly and repaints after it (Live).
    void runClick(const std::function<void()>& run, Role role);
    // Appends the entries of one menu (or of the bar) to `parent`.
    void addMenuEntries(HMENU parent, const form::MenuTable& entries);
    // Appends one built entry to its menu with its current caption.
    static void appendMenuEntry(const MenuEntry& m);
    // Runs the menu entry of command `id`; false when no entry has it. A shortcut key of an
    // entry that is hidden or disabled does nothing.
    bool menuCommand(UINT id, bool key, LRESULT& result);
    void renderMenu(bool busy);
    // Refills every menu with its shown entries; true when one was shown or hidden.
    bool renderMenuShown();
    // Enables or greys each entry; true when one changed.
    bool renderMenuEnabled(bool busy);
    // Sets the caption and check mark of entries whose item changed them; true when a caption
    // changed.
    bool renderMenuMarks();
    // Places a heading row's words over its column controls.
    void placeHeadings(HWND row, const std::vector<HWND>& words,
                       const std::vector<const form::Control*>& columns);
    static LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    // Keys typed into a text box reach the entry's key handler first (Enter as 13), through the
    // gate; a key the handler sets to 0 is dropped, a changed key is typed instead. Double
    // click, single click and the focus leaving for another control of the same window run
    // their handlers through the gate.
    LRESULT editMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // What of `text` the key handler keeps, each character run through it as if typed (line
    // breaks and control characters dropped); empty when the gate drops the handler.
    std::wstring filtered(const std::function<void(int&)>& keyPress, std::wstring_view text);
    // The clipboard's text; empty when it holds none or cannot be opened.
    static std::wstring clipboardText(HWND owner);
    HBRUSH brush(COLORREF colour);

    form::BinderCore core_;
    Win32Host& host_;
    std::unique_ptr<Scale> scale_;
    // Counts the DPI changes: a caption painted at another count is fitted again.
    int scaleGeneration_ = 0;
    // What each built control does when the DPI changes, in build order (a heading row's words
    // are placed after their columns moved).
    std::vector<std::function<void()>> rescales_;
    std::map<HWND, Item> items_;
    std::map<HWND, Hooks> hooks_;
    form::ContainerPlacer<HWND> containers_;
    std::map<const form::Control*, HWND> windows_;
    std::vector<Built> built_;
    std::vector<std::function<std::string()>> texts_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::vector<MenuEntry> menu_;
    HMENU menuBar_ = nullptr;
    // The entries' shortcut keys, and the table made of them once the owner is known.
    std::vector<ACCEL> shortcuts_;
    HACCEL shortcutTable_ = nullptr;
    HWND tips_ = nullptr;
    HWND menuOwner_ = nullptr;
    // True while render() writes into the controls: their change notifications are not edits.
    bool painting_ = false;
    int nextId_ = 1000;
};

}  // namespace win32kit
