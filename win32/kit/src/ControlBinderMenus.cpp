// The menu part of the Win32 control binder: the menu bar built from the model's menu table and
// painted from its items.
#include "win32kit/ControlBinder.h"

#include <optional>
#include <string_view>

#include "form/Shortcut.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"

namespace win32kit {

namespace {

// The accelerator of a shortcut such as "Ctrl+Shift+O", "F5" or "Del"; false for one the
// table cannot name.
bool shortcutKey(std::string_view text, ACCEL& key) {
    const std::optional<form::Shortcut> shortcut = form::Shortcut::parse(text);
    if (!shortcut) {
        return false;
    }
    key.fVirt = static_cast<BYTE>(FVIRTKEY | (shortcut->ctrl ? FCONTROL : 0) |
                                  (shortcut->shift ? FSHIFT : 0) | (shortcut->alt ? FALT : 0));
    if (shortcut->deleteKey) {
        key.key = VK_DELETE;
    } else if (shortcut->function > 0) {
        key.key = static_cast<WORD>(VK_F1 + shortcut->function - 1);
    } else {
        key.key = static_cast<WORD>(shortcut->character);
    }
    return true;
}

// What an entry shows: its caption, and its shortcut after a tab (Windows sets it right).
std::wstring menuText(const std::string& caption, const std::string& shortcut) {
    return wide(shortcut.empty() ? caption : caption + '\t' + shortcut);
}

}  // namespace

HMENU ControlBinder::menuBar() {
    if (menuBar_ == nullptr) {
        menuBar_ = CreateMenu();
    }
    return menuBar_;
}

void ControlBinder::buildMenus(const form::MenuTable& menus) {
    addMenuEntries(menuBar(), menus);
}

void ControlBinder::addMenuEntries(HMENU parent, const form::MenuTable& entries) {
    for (const form::MenuEntry& e : entries) {
        MenuEntry m{parent,
                    0,
                    nullptr,
                    e.item,
                    e.role == Role::Data,
                    e.run,
                    std::string(e.options.shortcut)};
        if (e.separator()) {
            menu_.push_back(m);
        } else if (e.submenu) {
            m.submenu = CreatePopupMenu();
            menu_.push_back(m);
            addMenuEntries(m.submenu, e.entries);
        } else {
            m.id = static_cast<UINT>(nextId_++);
            m.caption = e.item->Caption;
            ACCEL key{};
            if (shortcutKey(e.options.shortcut, key)) {
                key.cmd = static_cast<WORD>(m.id);
                shortcuts_.push_back(key);
            }
            menu_.push_back(m);
        }
        appendMenuEntry(m);
    }
}

void ControlBinder::appendMenuEntry(const MenuEntry& m) {
    if (m.item == nullptr) {
        AppendMenuW(m.parent, MF_SEPARATOR, 0, nullptr);
    } else if (m.submenu != nullptr) {
        AppendMenuW(m.parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(m.submenu),
                    wide(m.item->Caption).c_str());
    } else {
        AppendMenuW(m.parent, MF_STRING, m.id, menuText(m.item->Caption, m.shortcut).c_str());
    }
}

void ControlBinder::setMenuOwner(HWND owner) {
    menuOwner_ = owner;
    if (!shortcuts_.empty() && shortcutTable_ == nullptr) {
        shortcutTable_ =
            CreateAcceleratorTableW(shortcuts_.data(), static_cast<int>(shortcuts_.size()));
        host_.setAccelerators(owner, shortcutTable_);
    }
}

bool ControlBinder::menuCommand(UINT id, bool key, LRESULT& result) {
    for (const MenuEntry& m : menu_) {
        if (m.item != nullptr && m.submenu == nullptr && m.id == id) {
            result = 0;
            if (key && (!m.item->Visible || !m.item->Enabled)) {
                return true;
            }
            const auto run = m.run;
            runClick(
                run ? run : [] {}, m.data ? Role::Data : Role::Live);
            return true;
        }
    }
    return false;
}

bool ControlBinder::renderMenuShown() {
    bool shownChanged = false;
    for (MenuEntry& m : menu_) {
        const int visible = m.item == nullptr || m.item->Visible;
        shownChanged = shownChanged || m.visible != visible;
        m.visible = visible;
    }
    if (!shownChanged) {
        return false;
    }
    // Windows menus have no hidden entries: refill each menu with the shown ones.
    for (const MenuEntry& m : menu_) {
        while (GetMenuItemCount(m.parent) > 0) {
            RemoveMenu(m.parent, 0, MF_BYPOSITION);
        }
    }
    for (MenuEntry& m : menu_) {
        m.enabled = -1;
        m.checked = -1;
        if (m.visible != 0) {
            m.caption = m.item != nullptr ? m.item->Caption : std::string();
            appendMenuEntry(m);
        }
    }
    return true;
}

bool ControlBinder::renderMenuMarks() {
    bool changed = false;
    for (MenuEntry& m : menu_) {
        if (m.item == nullptr || m.submenu != nullptr || !m.item->Visible) {
            continue;
        }
        if (m.caption != m.item->Caption) {
            m.caption = m.item->Caption;
            const std::wstring caption = menuText(m.caption, m.shortcut);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STRING;
            info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
            SetMenuItemInfoW(m.parent, m.id, FALSE, &info);
            changed = true;
        }
        if (m.checked != int{m.item->Checked}) {
            m.checked = m.item->Checked;
            CheckMenuItem(m.parent, m.id, MF_BYCOMMAND | (m.checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    return changed;
}

bool ControlBinder::renderMenuEnabled(bool busy) {
    bool changed = false;
    for (MenuEntry& m : menu_) {
        if (m.item == nullptr || !m.item->Visible) {
            continue;
        }
        const int enabled = m.item->Enabled && !(busy && m.data);
        if (m.enabled == enabled) {
            continue;
        }
        m.enabled = enabled;
        changed = true;
        if (m.submenu == nullptr) {
            EnableMenuItem(m.parent, m.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
            continue;
        }
        const int count = GetMenuItemCount(m.parent);
        for (int k = 0; k < count; ++k) {
            if (GetSubMenu(m.parent, k) == m.submenu) {
                EnableMenuItem(m.parent, static_cast<UINT>(k),
                               MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
            }
        }
    }
    return changed;
}

void ControlBinder::renderMenu(bool busy) {
    const bool shownChanged = renderMenuShown();
    const bool captionChanged = renderMenuMarks();
    const bool enabledChanged = renderMenuEnabled(busy);
    if ((shownChanged || enabledChanged || captionChanged) && menuOwner_ != nullptr) {
        DrawMenuBar(menuOwner_);
    }
}

}  // namespace win32kit
