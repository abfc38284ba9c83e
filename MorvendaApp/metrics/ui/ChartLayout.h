// Where the parts of a chart go in a widget of a given size: the domain of each axis (fixed, or
// covering the marks), its ticks, the plot rectangle, the legend strip, and the mapping between
// data values and pixels both ways. A plain value, computed once per data, size and font.
#pragma once

#include "ChartData.h"

#include "MorvendaApp/metrics/ChartTicks.h"

#include <QFont>
#include <QRectF>
#include <QSizeF>

#include <optional>

class ChartLayout
{
public:
    static constexpr int kAxisFontPixels = 10;
    static constexpr int kLegendFontPixels = 11;
    static constexpr qreal kTickGap = 3;
    // Tight margins: the chart must still show a readable plot in a pane 150 pixels high.
    static constexpr qreal kOuterMargin = 2;

    ChartLayout(const Chart::Data &data, QSizeF size, const QFont &font);

    static QFont fontOfSize(const QFont &base, int pixels);

    // Empty while the size is too small to hold a plot.
    QRectF plot() const { return m_plot; }
    QRectF legend() const { return m_legend; }
    const ChartTicks::TickSet &xTicks() const { return m_xTicks; }
    const ChartTicks::TickSet &yTicks() const { return m_yTicks; }
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }

    qreal xPixel(double value) const { return m_plot.left() + (value - m_xMin) * m_xScale; }
    qreal yPixel(double value) const { return m_plot.bottom() - (value - m_yMin) * m_yScale; }
    std::optional<double> xValue(qreal pixel) const;
    std::optional<double> yValue(qreal pixel) const;

private:
    void computeDomains(const Chart::Data &data, int yCount);

    QRectF m_plot;
    QRectF m_legend;
    double m_xMin = 0;
    double m_xMax = 1;
    double m_yMin = 0;
    double m_yMax = 1;
    double m_xScale = 1;
    double m_yScale = 1;
    // Whether the axis has a fixed domain or marks to cover; one without either gets no ticks.
    bool m_xHasValues = false;
    bool m_yHasValues = false;
    ChartTicks::TickSet m_xTicks;
    ChartTicks::TickSet m_yTicks;
};
