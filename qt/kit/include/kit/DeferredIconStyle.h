// The program's widget style: Fusion, except that the arrows of the menu-bar and toolbar
// extension buttons are read only when one is first drawn. Every menu bar asks for its arrow as
// it is built, and reading it loads Qt's image-format plugins and decodes the images, which
// costs a main window a noticeable part of its start; a menu bar wide enough for its entries
// never shows the arrow.
#pragma once

#include <QProxyStyle>

namespace kit {

class DeferredIconStyle : public QProxyStyle {
  public:
    // Over Fusion, or over the platform's default style where Fusion is missing.
    DeferredIconStyle();

    // The extension arrows as icons that load on first use; every other icon as the base style
    // gives it.
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override;
};

}  // namespace kit
