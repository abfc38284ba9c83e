#include "ChartLayout.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

// Pixels each way a number-axis tick needs (y) and the room between date labels (x).
constexpr qreal kYTickPitch = 22;
constexpr qreal kXLabelGap = 16;

// Grows [lo, hi] to hold the value; non-finite values are left out.
void extend(double &lo, double &hi, double value)
{
    if (!std::isfinite(value))
        return;
    lo = std::min(lo, value);
    hi = std::max(hi, value);
}

// A domain no axis can draw (empty, reversed, overflowing) becomes one unit wide.
void repair(double &min, double &max)
{
    if (!(max > min) || !std::isfinite(max - min)) {
        min = std::isfinite(min) ? min - 0.5 : 0;
        max = min + 1;
    }
}

} // namespace

QFont ChartLayout::fontOfSize(const QFont &base, int pixels)
{
    QFont font(base);
    font.setPixelSize(pixels);
    return font;
}

ChartLayout::ChartLayout(const Chart::Data &data, QSizeF size, const QFont &font)
{
    const QFontMetricsF axisMetrics(fontOfSize(font, kAxisFontPixels));
    const QFontMetricsF legendMetrics(fontOfSize(font, kLegendFontPixels));
    const qreal top = kOuterMargin + axisMetrics.height() / 2;
    const qreal legendHeight = data.series.isEmpty() ? 0 : legendMetrics.height() + kTickGap;
    const qreal bottom = size.height() - kOuterMargin - legendHeight - axisMetrics.height() - kTickGap;
    const int yCount = std::max(1, int((bottom - top) / kYTickPitch));
    computeDomains(data, yCount);

    // The y axis first: its labels' width decides where the plot starts.
    // An axis with nothing on it has no values to name: no ticks (not a made-up 1970 or -1…1).
    if (m_yHasValues) {
        m_yTicks = data.yKind == Chart::AxisKind::Date ? ChartTicks::dateTicks(m_yMin, m_yMax, yCount)
                                                       : ChartTicks::numberTicks(m_yMin, m_yMax, yCount, data.yMinimumStep);
    }
    qreal yLabelWidth = 0;
    for (const ChartTicks::Tick &tick : std::as_const(m_yTicks.ticks))
        yLabelWidth = std::max(yLabelWidth, axisMetrics.horizontalAdvance(tick.label));
    const qreal left = kOuterMargin + yLabelWidth + kTickGap;
    // Room for half of the last x label, which centres on the plot's right edge.
    const QString widestX = data.xKind == Chart::AxisKind::Date ? QStringLiteral("00:00:00") : QStringLiteral("0000");
    const qreal right = size.width() - kOuterMargin - axisMetrics.horizontalAdvance(widestX) / 2;
    m_plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    if (m_plot.width() < 1 || m_plot.height() < 1) {
        m_plot = QRectF();
        m_yTicks = {};
        return;
    }
    m_xScale = m_plot.width() / (m_xMax - m_xMin);
    m_yScale = m_plot.height() / (m_yMax - m_yMin);

    // As many x ticks as their labels leave room for; one more pass when the labels came out wider.
    const auto xTicksFor = [&](int count) {
        return data.xKind == Chart::AxisKind::Date ? ChartTicks::dateTicks(m_xMin, m_xMax, count)
                                                   : ChartTicks::numberTicks(m_xMin, m_xMax, count);
    };
    qreal labelWidth = axisMetrics.horizontalAdvance(QStringLiteral("00:00:00"));
    for (int pass = 0; pass < 2 && m_xHasValues; ++pass) {
        m_xTicks = xTicksFor(std::max(1, int(m_plot.width() / (labelWidth + kXLabelGap))));
        qreal widest = 0;
        for (const ChartTicks::Tick &tick : std::as_const(m_xTicks.ticks))
            widest = std::max(widest, axisMetrics.horizontalAdvance(tick.label));
        if (widest <= labelWidth)
            break;
        labelWidth = widest;
    }
    m_legend = QRectF(left, size.height() - kOuterMargin - legendHeight, m_plot.width(), legendHeight);
}

void ChartLayout::computeDomains(const Chart::Data &data, int yCount)
{
    double xLo = INFINITY, xHi = -INFINITY, yLo = INFINITY, yHi = -INFINITY;
    // Fixed domains spare a pass over every mark.
    if (!data.xDomain || !data.yDomain) {
        for (const Chart::Bar &bar : data.bars) {
            extend(xLo, xHi, bar.x0);
            extend(xLo, xHi, bar.x1);
            extend(yLo, yHi, bar.y0);
            extend(yLo, yHi, bar.y1);
        }
        for (const Chart::Line &line : data.lines) {
            for (const QPointF &point : line.points) {
                extend(xLo, xHi, point.x());
                extend(yLo, yHi, point.y());
            }
        }
        for (const Chart::Rule &rule : data.rules)
            extend(rule.orientation == Qt::Vertical ? xLo : yLo, rule.orientation == Qt::Vertical ? xHi : yHi, rule.value);
    }
    m_xHasValues = data.xDomain || xLo <= xHi;
    m_yHasValues = data.yDomain || yLo <= yHi;
    if (data.yFromZero && !data.yDomain) {
        extend(yLo, yHi, 0);
        // Nothing to draw: the axis runs up from zero, where values would start.
        if (!m_yHasValues)
            yHi = 1;
    }

    if (data.yDomain) {
        m_yMin = data.yDomain->first;
        m_yMax = data.yDomain->second;
    } else if (yLo <= yHi) {
        const ChartTicks::Domain nice = data.yKind == Chart::AxisKind::Number
            ? ChartTicks::niceNumberDomain(yLo, yHi, yCount, data.yMinimumStep)
            : ChartTicks::Domain{yLo, yHi};
        m_yMin = nice.min;
        m_yMax = nice.max;
    }
    repair(m_yMin, m_yMax);
    if (data.xDomain) {
        m_xMin = data.xDomain->first;
        m_xMax = data.xDomain->second;
    } else if (xLo <= xHi) {
        m_xMin = xLo;
        m_xMax = xHi;
    }
    repair(m_xMin, m_xMax);
}

std::optional<double> ChartLayout::xValue(qreal pixel) const
{
    if (m_plot.isEmpty())
        return std::nullopt;
    return m_xMin + (pixel - m_plot.left()) / m_xScale;
}

std::optional<double> ChartLayout::yValue(qreal pixel) const
{
    if (m_plot.isEmpty())
        return std::nullopt;
    return m_yMin + (m_plot.bottom() - pixel) / m_yScale;
}
