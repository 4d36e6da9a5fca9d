// A push button whose caption wraps onto a second line when the design width is too narrow
// for one, so long captions are never cut; text() stays the caption as given. Enter presses it
// when it has the focus, as Space does.
#pragma once

#include <QPushButton>

namespace kit {

class CaptionButton : public QPushButton {
  public:
    explicit CaptionButton(QWidget* parent);
    // The rectangle the caption is drawn in.
    QRect captionRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kit
