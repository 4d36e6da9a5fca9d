// The console's viewport onto its register panel: Qt's scroll area, which sets its bars' page
// step to the viewport's size at every relayout; this one puts the window's own page and step
// sizes back each time.
#pragma once

#include <QScrollArea>

namespace console {

class PanelScrollArea : public QScrollArea {
  public:
    explicit PanelScrollArea(QWidget* parent = nullptr);

    // Page and step sizes in pixels for the vertical and the horizontal bar, kept from now on;
    // values below 1 count as 1.
    void setSteps(int verticalPage, int verticalStep, int horizontalPage, int horizontalStep);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applySteps();

    int verticalPage_ = 1;
    int verticalStep_ = 1;
    int horizontalPage_ = 1;
    int horizontalStep_ = 1;
};

}  // namespace console
