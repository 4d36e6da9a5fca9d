#include "console/PanelScrollArea.h"

#include <QScrollBar>
#include <algorithm>

namespace console {

PanelScrollArea::PanelScrollArea(QWidget* parent) : QScrollArea(parent) {}

void PanelScrollArea::setSteps(int verticalPage, int verticalStep, int horizontalPage,
                               int horizontalStep) {
    verticalPage_ = std::max(1, verticalPage);
    verticalStep_ = std::max(1, verticalStep);
    horizontalPage_ = std::max(1, horizontalPage);
    horizontalStep_ = std::max(1, horizontalStep);
    applySteps();
}

bool PanelScrollArea::event(QEvent* event) {
    const bool handled = QScrollArea::event(event);
    applySteps();
    return handled;
}

bool PanelScrollArea::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QScrollArea::eventFilter(watched, event);
    applySteps();
    return handled;
}

void PanelScrollArea::applySteps() {
    auto keep = [](QScrollBar* bar, int page, int step) {
        if (bar->pageStep() != page) {
            bar->setPageStep(page);
        }
        if (bar->singleStep() != step) {
            bar->setSingleStep(step);
        }
    };
    keep(verticalScrollBar(), verticalPage_, verticalStep_);
    keep(horizontalScrollBar(), horizontalPage_, horizontalStep_);
}

}  // namespace console
