// Paints one timeline row (badge, title, description, footnote marker) and its separator, finds
// the badge's and the marker's hover help, and caches each row's size per (row stamp, width), so
// scrolling and relayouts never measure a row twice. Rows it painted before are drawn from a
// picture of themselves while their stamp, size and palette stay: under a stream of payloads the
// list repaints the same rows up to 60 times a second, and laying out and shaping their texts
// cost more than the rest of the frame. Texts an app sent are cut to what a row can show before
// they are laid out. Main thread.
#pragma once

#include "MorvendaApp/timeline/TimelineRowState.h"

#include <QCache>
#include <QHash>
#include <QPixmap>
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

    // Rows are painted on the palette's Base colour, the list's background.
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The hover help at a position inside a row of that width: the badge's or the marker's.
    static QString helpAt(const TimelineRowState &state, QPoint position, int width);

    // Room for the pictures of painted rows, as a viewport of this many device pixels: a few
    // screens' worth are kept, the least recently drawn dropped first.
    void reservePaintedRows(qint64 viewportPixels);

private:
    struct CachedSize
    {
        quint64 stamp = 0;
        int width = 0;
        int height = 0;
    };

    struct PaintedRow
    {
        quint64 stamp = 0;
        QSize size;
        qint64 palette = 0;
        QRgb background = 0;
        qreal devicePixelRatio = 1;
        QPixmap picture;
    };
    static void paintRow(QPainter *painter, const QStyleOptionViewItem &option, const TimelineRowState &state);

    mutable QHash<QUuid, CachedSize> m_sizes;
    // Costs in device pixels; three screens of 1280 x 800 until told otherwise.
    mutable QCache<QUuid, PaintedRow> m_painted{3 * 1280 * 800};
};
