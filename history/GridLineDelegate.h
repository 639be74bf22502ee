#pragma once
// Draws the thin grid lines of a report list between cells.
#include <QStyledItemDelegate>

namespace vardocle {

class TGridLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace vardocle
