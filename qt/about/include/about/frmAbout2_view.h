// The Qt window of the About box: widgets built from the model's control table and a drawn logo.
// Enter and Esc press OK, as the model's default and cancel button; the window hides itself when
// the model unloads, and its close box unloads the model.
#pragma once

#include <QWidget>
#include <functional>

#include "about/frmAbout2.h"
#include "kit/ControlBinder.h"

namespace kit {
class QtHost;
}

namespace about {

class frmAbout2View : public QWidget {
  public:
    // Builds the (hidden) window for `model`; `onClose` tells the application the user closed it.
    frmAbout2View(frmAbout2& model, form::UserEventGate& gate, kit::QtHost& host,
                  std::function<void()> onClose);
    ~frmAbout2View() override;

    // Paints every widget from the model and hides the window once the model has unloaded.
    void render();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter, Return and Esc press OK; other keys go on as usual.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Draws the logo into the logo picture box.
    void paintLogo();

    frmAbout2& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    int rendererId_ = 0;
    std::function<void()> onClose_;
};

}  // namespace about
