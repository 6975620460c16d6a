#include "gui/forms/CellTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace tessaro {

bool ClippedTextTips::clips(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize needed = sizeHint(option, index);
    return needed.width() > option.rect.width() || needed.height() > option.rect.height();
}

QString ClippedTextTips::tipOf(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString own = index.data(Qt::ToolTipRole).toString();
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty() || !clips(option, index)) return own;
    return own.isEmpty() || own == text ? text : text + QLatin1Char('\n') + own;
}

bool ClippedTextTips::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = tipOf(option, index);
    // The tip goes once the pointer leaves the cell.
    QToolTip::showText(event->globalPos(), tip, view->viewport(), view->visualRect(index));
    event->setAccepted(!tip.isEmpty());
    return event->isAccepted();
}

}  // namespace tessaro
