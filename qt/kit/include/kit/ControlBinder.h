// Binds the controls of a window model to Qt widgets: creates each widget at its design place
// (twips at 15 to a pixel), paints it from the model on render(), sends the user's edits back
// and runs the user's events through the application's gate. While the gate is busy, the data
// controls refuse input; the others stay live.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "form/ControlGeometry.h"
#include "form/Controls.h"
#include "form/UserEventGate.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace kit {

class CaptionButton;
class LampWidget;
class QtHost;
class WrapCheckBox;

class ControlBinder : public QObject {
  public:
    // Whether a control may start an exchange: such controls refuse input while the gate is busy.
    enum class Role { Data, Live };

    ControlBinder(form::UserEventGate& gate, QtHost& host);

    // The pixel rectangle of a design rectangle in twips.
    static QRect pixels(const form::ControlGeometry& g);
    // The pixel length of a twips length.
    static int pixels(int twips);

    // Each creates the widget for one control at its design place, names it
    // "control" or "control_index" after the model, and binds it.
    QLineEdit* textBox(form::TextBox& box, QWidget* parent, const form::ControlGeometry& g);
    QLabel* label(form::Label& label, QWidget* parent, const form::ControlGeometry& g);
    // A click runs `onClick` through the gate (Data) or directly (Live).
    CaptionButton* button(form::Button& button, QWidget* parent, const form::ControlGeometry& g,
                          std::function<void()> onClick, Role role = Role::Data);
    // A user click stores the new value in the model, then runs `onClick` through the gate
    // (Data) or directly (Live, for a box that moves no data and that a running operation
    // reads). A value painted from the model never calls it.
    WrapCheckBox* checkBox(form::CheckBox& box, QWidget* parent, const form::ControlGeometry& g,
                           std::function<void()> onClick, Role role = Role::Data);
    LampWidget* lamp(form::Lamp& lamp, QWidget* parent, const form::ControlGeometry& g);
    QGroupBox* frame(form::Frame& frame, QWidget* parent, const form::ControlGeometry& g);
    // A read-only log that appends the new tail of the model's text, or takes the whole text
    // when the model replaced it.
    QPlainTextEdit* log(form::TextBox& box, QWidget* parent, const form::ControlGeometry& g);

    // Keys typed into a bound text box reach `handler` first (Enter as 13), through the gate;
    // a key the handler sets to 0 is dropped, a changed key is typed instead.
    void onKeyPress(QLineEdit* widget, std::function<void(int&)> handler);
    // A double click, a single click, the focus leaving the box: through the gate.
    void onDoubleClick(QLineEdit* widget, std::function<void()> handler);
    void onClick(QLineEdit* widget, std::function<void()> handler);
    void onLostFocus(QLineEdit* widget, std::function<void()> handler);

    // Runs a user event through the gate and repaints every window after it; false when the
    // event was dropped because another handler runs.
    bool dispatch(const std::function<void()>& handler);
    // Paints every bound widget from its model.
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
    Hooks& hooks(QLineEdit* widget);
    void place(QWidget* widget, const char* kind, const form::ControlGeometry& g);

    form::UserEventGate& gate_;
    QtHost& host_;
    std::vector<std::function<void(bool busy)>> renders_;
    std::map<QObject*, Hooks> hooks_;
};

}  // namespace kit
