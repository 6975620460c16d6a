#pragma once

#include <QStyledItemDelegate>

namespace tessaro {

// Gives a cell that cuts its text (too narrow, too low, or elided) its whole text as its tip, before the tip the
// cell has of its own; a cell that shows all of its text keeps its own tip alone.
class ClippedTextTips : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // The tip of the cell drawn in option.
    QString tipOf(const QStyleOptionViewItem& option, const QModelIndex& index) const;

protected:
    // Whether the cell drawn in option shows less than its whole text.
    virtual bool clips(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

}  // namespace tessaro
