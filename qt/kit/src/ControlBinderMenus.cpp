// The menu part of the Qt control binder: the menu bar built from the model's menu table.
#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "kit/ControlBinder.h"
#include "kit/MenuKeys.h"

namespace kit {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "name", or "name_index" for an element of an array.
QString menuName(const form::MenuEntry& e) {
    QString name = qs(e.name);
    if (e.index >= 0) {
        name += QStringLiteral("_%1").arg(e.index);
    }
    return name;
}

}  // namespace

void ControlBinder::buildMenus(QMainWindow& window, const form::MenuTable& menus) {
    addMenuEntries(*window.menuBar(), nullptr, menus);
    addMenuKeys(window);
}

void ControlBinder::addMenuEntries(QMenuBar& bar, QMenu* menu, const form::MenuTable& entries) {
    for (const form::MenuEntry& e : entries) {
        if (e.separator()) {
            if (menu != nullptr) {
                menu->addSeparator();
            } else {
                bar.addSeparator();
            }
            continue;
        }
        const QString caption = QString::fromStdString(e.item->Caption);
        if (e.submenu) {
            QMenu* sub = menu != nullptr ? menu->addMenu(caption) : bar.addMenu(caption);
            sub->setObjectName(menuName(e));
            menu_.push_back({sub->menuAction(), e.item, e.role, false});
            addMenuEntries(bar, sub, e.entries);
            continue;
        }
        QAction* action = menu != nullptr ? menu->addAction(caption) : bar.addAction(caption);
        action->setObjectName(menuName(e));
        action->setCheckable(e.options.checkable);
        if (!e.options.shortcut.empty()) {
            action->setShortcut(QKeySequence(qs(e.options.shortcut)));
        }
        if (e.run) {
            connect(action, &QAction::triggered, this,
                    [this, role = e.role, run = e.run] { runClick(run, role); });
        }
        menu_.push_back({action, e.item, e.role, e.options.liveCaption});
    }
}

void ControlBinder::renderMenus(bool busy) {
    for (MenuAction& m : menu_) {
        m.action->setVisible(m.item->Visible);
        m.action->setEnabled(m.item->Enabled && !(busy && m.role == Role::Data));
        if (m.liveCaption) {
            const QString caption = QString::fromStdString(m.item->Caption);
            if (m.action->text() != caption) {
                m.action->setText(caption);
            }
        }
        if (m.action->isCheckable()) {
            m.action->setChecked(m.item->Checked);
        }
    }
}

}  // namespace kit
