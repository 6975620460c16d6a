#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace tessaro::testing {

// The tip the user gets when the pointer rests on a cell of a view: the event the view is sent then, and the text
// of the tip it shows; the tip is closed again.
inline QString tipOfCell(QAbstractItemView* view, const QModelIndex& index) {
    const QPoint at = view->visualRect(index).center();
    QHelpEvent event(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    // The tip would fade out later: it goes now, so that no window is left open.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel")) window->hide();
    return text;
}

}  // namespace tessaro::testing
