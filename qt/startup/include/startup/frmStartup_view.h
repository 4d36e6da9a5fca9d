// The Qt window of the start-up window: its picture built from the model's control table and its
// menu bar ("Device Select" with six entries that do nothing, and "About"). The model hides
// itself as it loads, so in normal use this window is never seen; it shows whenever the model
// says it is visible.
#pragma once

#include <QMainWindow>
#include <vector>

#include "kit/ControlBinder.h"
#include "startup/frmStartup.h"

namespace kit {
class QtHost;
}

namespace startup {

class frmStartupView : public QMainWindow {
  public:
    // Builds the window for `model`, hidden.
    frmStartupView(frmStartup& model, form::UserEventGate& gate, kit::QtHost& host);
    ~frmStartupView() override;

    // Paints the picture and the menu from the model and shows or hides the window as it says.
    void render();

  private:
    frmStartup& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
};

}  // namespace startup
