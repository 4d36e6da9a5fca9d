// Checks a window the way a careful reviewer looks at it: every caption and text fits its
// widget, and no two visible widgets of the same container overlap.
#pragma once

#include <QStringList>

#include "form/ControlTable.h"

class QWidget;

namespace viewtest {

// One line per visible widget whose text does not fit (name, text, sizes).
QStringList clippedTexts(const QWidget& window);
// One line per pair of visible sibling widgets that overlap. Widgets named in `allowed` may lie
// over others (the address boxes drawn over the tab headers).
QStringList overlaps(const QWidget& window, const QStringList& allowed = {});
// One line per visible control of a frame that lies on or outside the frame's border line, so
// that the line would run through it (the caption above the line is outside the border).
QStringList outsideFrames(const QWidget& window);
// One line per entry of the window's control table that has no widget of its name in the
// window (the builder leaves out an entry whose container it does not know).
QStringList missingWidgets(const QWidget& window, const form::ControlTable& table);

}  // namespace viewtest
