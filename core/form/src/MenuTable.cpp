#include "form/MenuTable.h"

namespace form {

void startMenuCaptions(const MenuTable& menus) {
    for (const MenuEntry& e : menus) {
        if (e.separator()) {
            continue;
        }
        e.item->Caption = e.caption;
        startMenuCaptions(e.entries);
    }
}

}  // namespace form
