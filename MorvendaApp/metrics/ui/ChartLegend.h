// The legend strip below a chart: one entry per series (its symbol in the series' colour and its
// name), left to right on one line; entries that do not fit are never dropped silently: the line
// ends with "+N more" instead. A plain value laid out once per data, size and font; main thread.
#pragma once

#include "ChartData.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;
class QPalette;

class ChartLegend
{
public:
    struct Entry
    {
        int series = 0;
        QRectF symbol;
        QRectF text;
    };

    ChartLegend(const QList<Chart::Series> &series, const QRectF &area, const QFont &font);

    const std::vector<Entry> &entries() const { return m_entries; }
    // How many series the line has no room for, and where the "+N more" text stands.
    int hiddenCount() const { return m_hidden; }
    QRectF moreRect() const { return m_more; }
    QString moreText() const;

    void paint(QPainter &painter, const QList<Chart::Series> &series, const QPalette &palette) const;

private:
    QFont m_font;
    std::vector<Entry> m_entries;
    int m_hidden = 0;
    QRectF m_more;
};
