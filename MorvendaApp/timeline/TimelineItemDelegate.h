// Paints one timeline row (badge, title, description, footnote marker) and its separator, finds
// the badge's and the marker's hover help, and caches each row's size per (row stamp, width), so
// scrolling and relayouts never measure a row twice. Main thread.
#pragma once

#include "MorvendaApp/timeline/TimelineRowState.h"

#include <QHash>
#include <QStyledItemDelegate>
#include <QUuid>

class TimelineItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where each part of a row goes at a given width; empty rectangles for absent parts.
    struct Layout
    {
        QRect badge;
        QRect title;
        QRect description;
        QRect footNote;
        int height = 0;
    };
    static Layout layout(const TimelineRowState &state, int width);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The hover help at a position inside a row of that width: the badge's or the marker's.
    static QString helpAt(const TimelineRowState &state, QPoint position, int width);

private:
    struct CachedSize
    {
        quint64 stamp = 0;
        int width = 0;
        int height = 0;
    };

    mutable QHash<QUuid, CachedSize> m_sizes;
};
