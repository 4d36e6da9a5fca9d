// The Qt window of a script window model: title band and default address on top, the three
// frames of controls below them, the grid underneath filling the rest of the window, and the
// "File" menu. The controls come from the model's control table; the grid is placed here. Every
// user event that may move data goes through the application's gate; "Abort" is called
// directly so that it reaches a running script. The window repaints from the model after each
// handler and at the host's yields; the grid only when its revision moved.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kit/ControlBinder.h"
#include "script/frmScriptOps.h"

class QTableView;

namespace kit {
class QtHost;
}

namespace script {

class ScriptGridModel;

class frmScriptOpsView : public QMainWindow {
  public:
    // Builds the (hidden) window for `model`; `onClose` tells the owner the user closed it.
    frmScriptOpsView(frmScriptOps& model, form::UserEventGate& gate, kit::QtHost& host,
                     std::function<void()> onClose);
    ~frmScriptOpsView() override;

    // Paints every widget from the model.
    void render();

    frmScriptOps& model() { return model_; }
    QTableView* grid() { return grid_; }
    ScriptGridModel* gridModel() { return gridModel_; }

    // Where the grid's top edge lies in the client area, in pixels.
    static constexpr int kGridTop = 258;
    // The smallest client size that shows every control unclipped.
    static QSize minimumClientSize();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    // The grid's key presses go to the model's key event; a resized grid viewport refits the
    // columns.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildGrid();
    void arrange();
    void placeGrid();
    void renderGrid();
    // Measures, for each column but the last, the widest text it holds in the grid's font.
    void measureColumns();
    // Applies the column widths: each at least as wide as the model says and as its widest text
    // (up to a wide data column); "Comment" also fills what is left of the viewport.
    void fitColumns();

    frmScriptOps& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
    std::function<void()> onClose_;
    QWidget* client_ = nullptr;
    QTableView* grid_ = nullptr;
    ScriptGridModel* gridModel_ = nullptr;
    // Grid state as last painted.
    std::array<int, kColumnCount> columnWidths_{};
    // Widest text of each column in pixels, as last measured.
    std::array<int, kColumnCount> contentWidths_{};
    int selectedRow_ = -1;
    int gridVisible_ = -1;
    // Form_Resize hides the grid while it moves it; the view moves it in one step instead.
    bool arranging_ = false;
    bool arrangeAgain_ = false;
};

}  // namespace script
