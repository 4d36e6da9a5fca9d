#include "kit/MenuKeys.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>

namespace kit {

namespace {

// A caption that already holds an "&" keeps it: it is either a mnemonic of its own or an
// ampersand written doubled, and both show as the caption's author meant.
QString withMnemonic(const QString& caption, QSet<QChar>& taken) {
    if (caption.contains(QLatin1Char('&'))) {
        return caption;
    }
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar key = caption.at(i).toLower();
        if (key.isLetterOrNumber() && !taken.contains(key)) {
            taken.insert(key);
            QString marked = caption;
            marked.insert(i, QLatin1Char('&'));
            return marked;
        }
    }
    return caption;
}

void markMenu(const QList<QAction*>& actions) {
    QSet<QChar> taken;
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            continue;
        }
        action->setText(withMnemonic(action->text(), taken));
        if (action->menu() != nullptr) {
            markMenu(action->menu()->actions());
        }
    }
}

}  // namespace

void addMenuKeys(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    markMenu(bar->actions());
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        const QList<QAction*> actions = bar->actions();
        for (QAction* action : actions) {
            if (action->isVisible() && action->isEnabled() && !action->isSeparator()) {
                bar->setActiveAction(action);
                return;
            }
        }
    });
}

}  // namespace kit
