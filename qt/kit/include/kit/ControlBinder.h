// Binds the controls of a window model to Qt widgets: builds each widget of the model's control
// table at its design place (twips at 15 to a pixel), paints it from the model on render(), sends
// the user's edits back and runs the user's events through the application's gate. While the gate
// is busy, the data controls refuse input; the others stay live. It also builds a window's menus
// from the model's menu table and paints them from their items.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "form/BinderCore.h"
#include "form/ContainerPlacer.h"
#include "form/ControlGeometry.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/MenuTable.h"
#include "form/UserEventGate.h"

class QAction;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QWidget;

namespace kit {

class QtHost;

class ControlBinder : public QObject {
  public:
    // Whether a control may start an exchange: such controls refuse input while the gate is busy.
    using Role = form::Role;

    ControlBinder(form::UserEventGate& gate, QtHost& host);
    ~ControlBinder() override;

    // The pixel rectangle of a design rectangle in twips.
    static QRect pixels(const form::ControlGeometry& g);
    // The pixel length of a twips length.
    static int pixels(int twips);

    // Builds the text boxes of the controls named `names` (arrays too) as TextCells: a grid of
    // boxes that the user mostly reads costs a fraction of its QLineEdits to build and show. Call
    // it before build().
    void useTextCells(std::vector<std::string> names);
    // Makes `widget` the container that entries naming `name` and `index` lie in; `topShift`
    // twips come off their design tops (a tab page starts below the tab headers).
    void addContainer(std::string_view name, int index, QWidget* widget, int topShift = 0);
    // Creates the widget of every entry at its design place, names it "name" or "name_index"
    // after the model and binds it with its events: frames first, so that each control finds
    // its container, then the others in table order. An entry whose container is unknown is
    // left out.
    void build(const form::ControlTable& table);
    // The widget built for a model control; null when the table had none for it.
    QWidget* widget(const form::Control& control) const;
    // Builds the menu bar of `window` from `menus`: each menu and entry named after its item,
    // its caption, shortcut and check mark from the table; then marks the menu keys (MenuKeys.h).
    // Choosing an entry runs its handler through the gate (Data) or directly (Live).
    void buildMenus(QMainWindow& window, const form::MenuTable& menus);

    // Runs a user event through the gate and repaints every window after it; false when the
    // event was dropped because another handler runs.
    bool dispatch(const std::function<void()>& handler);
    // Paints every bound widget and menu entry from its model.
    void render();
    // True when the data controls are painted disabled: an operation runs and has run for the
    // host's busyPaintDelayMs.
    bool busyLooks() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Hooks {
        std::function<void(int&)> keyPress;
        std::function<void()> doubleClick;
        std::function<void()> click;
        std::function<void()> lostFocus;
        bool afterDoubleClick = false;
    };
    struct Place {
        QWidget* parent;
        form::ControlGeometry geometry;  // top already shifted for the container
    };

    // Creates the widget of one entry and records it under its model control.
    QWidget* make(const form::ControlEntry& e, const Place& at);
    // A log (multi-line) or a one-line text box.
    QWidget* create(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // A heading row (the entry has columns), a title band or a plain label.
    QWidget* create(form::Label& label, const form::ControlEntry& e, const Place& at);
    QWidget* textBox(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // A text box that makes its QLineEdit only once it is used (see TextCell).
    QWidget* textCell(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // Sends the user's edits in `editor` to the box and runs its events through the gate.
    void bindEditor(QLineEdit* editor, form::TextBox& box, const form::ControlEvents& events);
    QWidget* label(form::Label& label, const form::ControlEntry& e, const Place& at);
    // A heading row whose words stand each over one of the entry's column widgets.
    QWidget* headings(form::Label& label, const form::ControlEntry& e, const Place& at);
    // The large bold caption of a title band.
    QWidget* title(form::Label& label, const form::ControlEntry& e, const Place& at);
    // A click runs the entry's click handler through the gate (Data) or directly (Live).
    QWidget* create(form::Button& button, const form::ControlEntry& e, const Place& at);
    // A user click stores the new value in the model, then runs the click handler through the
    // gate (Data) or directly (Live, for a box that moves no data and that a running operation
    // reads). A value painted from the model never calls it.
    QWidget* create(form::CheckBox& box, const form::ControlEntry& e, const Place& at);
    QWidget* create(form::Lamp& lamp, const form::ControlEntry& e, const Place& at);
    QWidget* create(form::Frame& frame, const form::ControlEntry& e, const Place& at);
    QWidget* create(form::Picture& picture, const form::ControlEntry& e, const Place& at);
    // A read-only log that appends the new tail of the model's text, or takes the whole text
    // when the model replaced it.
    QWidget* log(form::TextBox& box, const form::ControlEntry& e, const Place& at);
    // Keys typed into a text box reach the entry's key handler first (Enter as 13), through the
    // gate; a key the handler sets to 0 is dropped, a changed key is typed instead. Double
    // click, single click and the focus leaving the box run their handlers through the gate.
    void hook(QLineEdit* widget, const form::ControlEvents& events);
    void place(QWidget* widget, const char* kind, const form::ControlEntry& e, const Place& at);
    // Runs a click through the gate (Data) or directly and repaints after it (Live).
    void runClick(const std::function<void()>& run, Role role);
    // Adds the entries of one menu (or of the bar) to `menu`, or to `bar` when `menu` is null.
    void addMenuEntries(QMenuBar& bar, QMenu* menu, const form::MenuTable& entries);
    // Shows, enables, captions and checks each menu entry as its item says.
    void renderMenus(bool busy);

    // A menu entry built from the table.
    struct MenuAction {
        QAction* action;
        form::MenuItem* item;
        Role role;
        bool liveCaption;
    };

    form::BinderCore core_;
    QtHost& host_;
    std::vector<MenuAction> menu_;
    std::map<QObject*, Hooks> hooks_;
    form::ContainerPlacer<QWidget*> containers_;
    std::map<const form::Control*, QWidget*> widgets_;
    // The window of the controls (the top container's): dialogs of its handlers centre on it.
    QPointer<QWidget> window_;
    std::vector<std::string> cellNames_;
    // Paints the TextCells that have no editor yet; never shown.
    std::unique_ptr<QLineEdit> cellLook_;
};

}  // namespace kit
