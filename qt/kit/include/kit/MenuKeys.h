// The keyboard way into a window's menu bar: Alt with the underlined letter opens a menu, and
// F10 opens the first menu of the bar, as on the original platform. The model's menu captions
// stay as written; only the texts the widgets show get their mnemonics.
#pragma once

class QMainWindow;

namespace kit {

// Marks a mnemonic in every menu-bar entry and menu entry of `window` that has none (the first
// letter or digit not yet taken in the same menu) and makes F10 open the first enabled menu.
// Call it once, after the menus are built; entries added later get no mnemonic.
void addMenuKeys(QMainWindow& window);

}  // namespace kit
