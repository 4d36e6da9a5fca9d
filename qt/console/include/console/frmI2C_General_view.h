// The Qt window of the register console: widgets built from the model's control table, the register
// panel inside Qt's own scroll area, the log on the second tab, the menu bar. Every user event that
// may move data goes through the application's gate; the window repaints from the model after each
// handler and at the host's yields.
#pragma once

#include <QMainWindow>
#include <functional>

#include "console/PanelScrollArea.h"
#include "console/frmI2C_General.h"
#include "kit/ControlBinder.h"

class QLabel;
class QTabWidget;

namespace kit {
class QtHost;
}

namespace console {

class frmI2C_GeneralView : public QMainWindow {
  public:
    // Builds the window for `model`; `requestClose` asks the application to close it and says
    // whether it may (false while the board connection is open).
    frmI2C_GeneralView(frmI2C_General& model, form::UserEventGate& gate, kit::QtHost& host,
                       std::function<bool()> requestClose);
    ~frmI2C_GeneralView() override;

    // Paints every widget from the model.
    void render();

    // The client size at start in pixels: the design area and, while the "USB Initialized"
    // button shows, the strip below it that holds the button.
    QSize clientSize() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void buildControls();
    void bindEvents();
    void arrange();
    // The "Good" verdict's text in the system's button-text colour, which the binder's palette
    // does not hold.
    void paintVerdictColour();

    frmI2C_General& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
    std::function<bool()> requestClose_;
    QWidget* client_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    PanelScrollArea* pbouter_ = nullptr;
    QWidget* pbinner_ = nullptr;
    QWidget* logPage_ = nullptr;
    QWidget* cbNoc_ = nullptr;
    QLabel* lblCommTest_ = nullptr;
    bool syncingVertical_ = false;
    bool syncingHorizontal_ = false;
    bool paintingTab_ = false;
    // The model's tab as last painted or chosen by the user.
    int paintedTab_ = 0;
    // Whether the strip under the tabs for the "USB Initialized" button is there.
    bool stripShown_ = false;
};

}  // namespace console
