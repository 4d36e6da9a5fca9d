// The Qt window of the register console: widgets built from the model's control table, the register
// panel inside Qt's own scroll area, the log on the second tab, the menu bar. Every user event that
// may move data goes through the application's gate; the window repaints from the model after each
// handler and at the host's yields.
#pragma once

#include <QMainWindow>
#include <functional>

#include "console/frmI2C_General.h"
#include "kit/ControlBinder.h"

class QScrollArea;
class QTabWidget;
class QAction;

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

    // The client size at start in pixels: the design area and the strip below it that holds
    // the "USB Initialized" button.
    static QSize clientSize();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void buildMenu();
    void buildControls();
    void bindEvents();
    void arrange();

    frmI2C_General& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
    std::function<bool()> requestClose_;
    QWidget* client_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QScrollArea* pbouter_ = nullptr;
    QWidget* pbinner_ = nullptr;
    QWidget* logPage_ = nullptr;
    QWidget* cbNoc_ = nullptr;
    struct MenuEntry {
        QAction* action;
        form::MenuItem* item;
        bool data;
    };
    std::vector<MenuEntry> menu_;
    bool syncingScroll_ = false;
    bool paintingTab_ = false;
};

}  // namespace console
