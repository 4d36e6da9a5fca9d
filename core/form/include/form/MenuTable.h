// A window's menus as one typed table, the counterpart of its control table: the menu bar's
// menus and entries in order, each with the caption it starts with (a "&" in it marks its key;
// without one the Qt front end picks the key) and naming the model's MenuItem that holds its
// caption, check mark, enabled and visible state from then on, and the model handler that
// choosing it runs. Both front ends build their real menus from it, so a new entry is written
// only in the model.
#pragma once

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "form/ControlTable.h"
#include "form/Controls.h"

namespace form {

// What an entry offers besides its caption and handler.
struct MenuOptions {
    // The key that chooses the entry without opening the menu, as "Ctrl+O" or "F5"; empty for
    // none.
    std::string_view shortcut{};
    // The entry shows the item's Checked as a check mark.
    bool checkable = false;
    // The entry's caption follows the item's as the model changes it; the Qt front end then
    // shows the caption exactly as the item holds it, without a menu key of its own.
    bool liveCaption = false;
};

// One entry of a menu bar or menu: a menu (with entries), a command or a separator.
struct MenuEntry {
    std::string_view name;  // the member's name; empty for a separator
    int index = -1;         // its array index, -1 for a single item
    MenuItem* item = nullptr;
    std::string_view caption{};  // the item's caption at the start
    // Data entries are greyed and refused while an operation runs; Live ones stay usable.
    Role role = Role::Live;
    std::function<void()> run{};  // the model's handler; empty: choosing it does nothing
    MenuOptions options{};
    bool submenu = false;
    std::vector<MenuEntry> entries{};  // a menu's entries

    bool separator() const { return item == nullptr; }
};

using MenuTable = std::vector<MenuEntry>;

// A menu holding `entries`.
inline MenuEntry menu(Named<MenuItem> m, std::string_view caption, MenuTable entries) {
    return {m.name, -1, &m.member, caption, Role::Live, {}, {}, true, std::move(entries)};
}

// An entry that runs `run` when chosen: through the gate when `role` is Data.
inline MenuEntry command(Named<MenuItem> c, std::string_view caption, Role role,
                         std::function<void()> run, MenuOptions options = {}) {
    return {c.name, -1, &c.member, caption, role, std::move(run), options, false, {}};
}

// Element `index` of an array of entries; an index out of range throws std::out_of_range while
// the table is built.
template <class A>
MenuEntry command(Named<A> c, int index, std::string_view caption, Role role,
                  std::function<void()> run, MenuOptions options = {}) {
    return {c.name,  index, &c.member.at(static_cast<std::size_t>(index)),
            caption, role,  std::move(run),
            options, false, {}};
}

// Gives every item of `menus`, those in its menus too, the caption the table starts it with; a
// model calls it once as it is made. Never fails.
void startMenuCaptions(const MenuTable& menus);

// A line between two entries of a menu.
inline MenuEntry separator() {
    return {};
}

}  // namespace form
