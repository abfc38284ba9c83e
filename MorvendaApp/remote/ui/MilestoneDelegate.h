// Paints one milestone: its key (at most two lines), its count line and, when known, its
// creation and update dates in the callout font and the secondary colour. Main thread only.
#pragma once

#include <QStyledItemDelegate>

class MilestoneDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // Lays the row out in `rect`; paints it when `painter` is given. Returns the height used.
    int layout(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
};
