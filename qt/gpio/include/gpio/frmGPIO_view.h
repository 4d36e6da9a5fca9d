// The Qt window of the GPIO panel: widgets built from the model's control table.
// Check boxes and buttons reach the model through the application's gate; the window repaints
// from the model after each handler and at the host's yields.
#pragma once

#include <QWidget>
#include <functional>

#include "gpio/frmGPIO.h"
#include "kit/ControlBinder.h"

namespace kit {
class QtHost;
}

namespace gpio {

class frmGPIOView : public QWidget {
  public:
    // Builds the (hidden) window for `model`; `onClose` tells the application the user closed it.
    frmGPIOView(frmGPIO& model, form::UserEventGate& gate, kit::QtHost& host,
                std::function<void()> onClose);
    ~frmGPIOView() override;

    // Paints every widget from the model.
    void render();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();

    frmGPIO& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
    std::function<void()> onClose_;
};

}  // namespace gpio
