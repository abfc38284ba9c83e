#include "ChartLayer.h"

#include "ChartLabelPlacement.h"
#include "ChartRaster.h"
#include "ChartSeriesStyle.h"
#include "ChartStroke.h"
#include "ChartThinning.h"
#include "ChartWork.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/metrics/ChartTicks.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>

namespace {

constexpr int kAxisFontPixels = ChartLayout::kAxisFontPixels;
constexpr int kLegendFontPixels = ChartLayout::kLegendFontPixels;
constexpr qreal kTickGap = ChartLayout::kTickGap;
constexpr qreal kOuterMargin = ChartLayout::kOuterMargin;
constexpr qreal kSymbolRadius = 3.5;
constexpr qreal kLineWidth = 2;
// Lines are drawn with every point, antialiased, in their dash, while all their points together
// number at most this many per pixel column of the plot (each costs some microseconds). Past that, symbols and joins run
// together into bands: the lines with the most points are thinned and drawn dense, so one render
// costs what the plot's pixels allow however many lines and points it has.
constexpr qreal kSparsePointsPerColumn = 1;

QFont fontOfSize(const QFont &base, int pixels)
{
    return ChartLayout::fontOfSize(base, pixels);
}

bool isFiniteValue(double value)
{
    return std::isfinite(value);
}

// Past this many points, the lines kept in full beside dense ones are drawn on pictures of their
// own beside the dense ones; past this many data labels or dense symbols, placing or thinning them
// goes beside the drawing. The lines' work is shared out in parts of about this many points (a
// part is a stripe of the plot's columns or a group of lines).
constexpr qsizetype kFullPointsAside = 100;
constexpr size_t kLabelsAside = 2000;
constexpr qsizetype kSymbolsAside = 2000;
constexpr qsizetype kFullPointsPerPart = 120;
constexpr qsizetype kDensePointsPerPart = 8000;

// An upright or level hairline from `from` to `to` on a painter on a premultiplied picture: the
// pixels the paint engine's hairline takes (from the floor of one end to the floor of the other,
// in device pixels), blended straight into them. The engine blends a translucent hairline pixel by
// pixel and a narrow rectangle row by row, a hundred times slower, and a layer draws a dozen.
void hairline(QPainter &painter, QPointF from, QPointF to, const QColor &color)
{
    auto *image = dynamic_cast<QImage *>(painter.device());
    const qreal ratio = painter.device()->devicePixelRatioF();
    const int x0 = int(std::floor(std::min(from.x(), to.x()) * ratio));
    const int x1 = int(std::floor(std::max(from.x(), to.x()) * ratio));
    const int y0 = int(std::floor(std::min(from.y(), to.y()) * ratio));
    const int y1 = int(std::floor(std::max(from.y(), to.y()) * ratio));
    if (image && image->format() == QImage::Format_ARGB32_Premultiplied && !painter.hasClipping()
        && painter.worldTransform().isIdentity()) {
        ChartStroke(*image, image->rect()).fill(QRect(QPoint(x0, y0), QPoint(x1, y1)), qPremultiply(color.rgba()));
        return;
    }
    painter.fillRect(QRectF(x0 / ratio, y0 / ratio, (x1 - x0 + 1) / ratio, (y1 - y0 + 1) / ratio), color);
}

// A line's symbol drawn once, to be stamped at every point of a dense line that shows one.
QImage symbolStamp(const QColor &color, ChartSeriesStyle::Marker marker, qreal ratio)
{
    const qreal side = 2 * kSymbolRadius * ratio;
    QImage stamp(QSizeF(side, side).toSize(), QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    ChartStroke stroke(stamp, stamp.rect());
    ChartSeriesStyle::paintMarker(stroke, QPointF(side / 2, side / 2), marker, kSymbolRadius * ratio, qPremultiply(color.rgba()));
    return stamp;
}

// The widths of a layer's data labels. Measuring a text shapes it, some microseconds each, and a
// dense chart offers a label for every free cell of the plot; labels of values differ in their
// digits alone, and in a font whose digits share one advance a text is as wide as the same text
// with every digit a zero, so one measurement serves them all.
class LabelWidths
{
public:
    explicit LabelWidths(const QFontMetricsF &metrics)
        : m_metrics(metrics)
    {
        const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
        for (char digit = '1'; digit <= '9' && m_tabular; ++digit)
            m_tabular = metrics.horizontalAdvance(QLatin1Char(digit)) == zero;
    }

    qreal of(const QString &text)
    {
        if (!m_tabular)
            return m_metrics.horizontalAdvance(text);
        QString shape = text;
        for (QChar &c : shape) {
            if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
                c = QLatin1Char('0');
        }
        const auto known = m_widths.constFind(shape);
        if (known != m_widths.cend())
            return *known;
        const qreal width = m_metrics.horizontalAdvance(shape);
        m_widths.insert(shape, width);
        return width;
    }

private:
    const QFontMetricsF &m_metrics;
    bool m_tabular = true;
    QHash<QString, qreal> m_widths;
};

} // namespace

ChartLayer::ChartLayer()
    : ChartLayer(std::make_shared<const Chart::Data>(), 0, Look{})
{
}

ChartLayer::ChartLayer(std::shared_ptr<const Chart::Data> data, quint64 serial, Look look)
    : m_data(std::move(data)), m_serial(serial), m_look(std::move(look)), m_layout(*m_data, QSizeF(m_look.size), m_look.font)
{
}

void ChartLayer::setPartsAside(bool allowed)
{
    ChartWork::setAside(allowed);
}

qsizetype ChartLayer::itemCount(const Chart::Data &data)
{
    qsizetype count = qsizetype(data.bars.size() + data.labels.size());
    for (const Chart::Line &line : data.lines)
        count += line.points.size();
    return count;
}

void ChartLayer::render()
{
    QElapsedTimer timer;
    timer.start();
    const QSize pixels = (QSizeF(m_look.size) * m_look.ratio).toSize();
    m_image = QImage(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_image.setDevicePixelRatio(m_look.ratio);
    m_image.fill(Qt::transparent);
    m_rendered = true;
    m_thinnedLabels = 0;
    m_fullPoints = 0;
    m_axisLabelRects.clear();
    m_labels.clear();
    m_labelInks.clear();
    if (m_layout.plot().isEmpty())
        return;
    QPainter painter(&m_image);
    m_axisLabelRects = paintGrid(painter);
    {
        // Where the data labels go depends on the tick labels and the legend alone, not on the
        // marks: it is worked out on a pool thread while the marks are drawn.
        ChartWork::SideTask labels([this] { placeLabels(); }, m_data->labels.size() >= kLabelsAside);
        paintBars(painter, m_image);
        m_fullPoints = paintLines(painter, m_image);
        for (const Chart::Rule &rule : m_data->rules)
            paintRule(painter, rule);
    }
    paintLegend(painter);
    inkLabels();
    m_renderMs = double(timer.nsecsElapsed()) / 1e6;
}

QList<QRectF> ChartLayer::labelRects() const
{
    QList<QRectF> rects;
    rects.reserve(qsizetype(m_labels.size()));
    for (const PlacedLabel &label : m_labels)
        rects.append(label.rect);
    return rects;
}

void ChartLayer::paintDataLabels(QPainter &painter, const QList<QRectF> &hidden) const
{
    if (m_labels.empty())
        return;
    painter.save();
    painter.setFont(labelFont());
    for (size_t i = 0; i < m_labels.size(); ++i) {
        const PlacedLabel &label = m_labels[i];
        if (!hidden.isEmpty() && hidden.contains(label.rect))
            continue;
        paintInked(painter, label.rect.adjusted(0, label.topPadding, 0, 0), label.text, m_labelInks[i]);
    }
    painter.restore();
}

QColor ChartLayer::seriesColor(int paletteIndex) const
{
    return ChartSeriesStyle::color(paletteIndex, m_look.palette);
}

ChartLegend ChartLayer::legend() const
{
    const QRectF area = m_layout.legend();
    return ChartLegend(m_data->series, QRectF(area.topLeft(), QPointF(m_look.size.width() - kOuterMargin, area.bottom())),
                       fontOfSize(m_look.font, kLegendFontPixels));
}

bool ChartLayer::paintRuleLine(QPainter &painter, const Chart::Rule &rule) const
{
    const QRectF plot = m_layout.plot();
    if (plot.isEmpty() || !isFiniteValue(rule.value))
        return false;
    QPen pen(rule.color.value_or(m_look.palette.color(QPalette::Text)), rule.width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (!rule.dash.isEmpty())
        pen.setDashPattern(rule.dash);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(pen);
    bool inside = false;
    if (rule.orientation == Qt::Vertical) {
        const qreal x = xPixel(rule.value);
        inside = x >= plot.left() - 0.5 && x <= plot.right() + 0.5;
        if (inside)
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    } else {
        const qreal y = yPixel(rule.value);
        inside = y >= plot.top() - 0.5 && y <= plot.bottom() + 0.5;
        if (inside)
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.restore();
    return inside;
}

void ChartLayer::paintRule(QPainter &painter, const Chart::Rule &rule) const
{
    if (!paintRuleLine(painter, rule) || !rule.label)
        return;
    Chart::Label label = *rule.label;
    if (rule.orientation == Qt::Vertical) {
        label.x0 = label.x1 = rule.value;
        label.y0 = label.y1 = label.position == Chart::LabelPosition::Bottom ? m_layout.yMin() : m_layout.yMax();
    } else {
        label.y0 = label.y1 = rule.value;
        label.x0 = label.x1 = label.position == Chart::LabelPosition::Leading ? m_layout.xMin() : m_layout.xMax();
    }
    paintLabel(painter, label);
}

QRectF ChartLayer::paintLabel(QPainter &painter, const Chart::Label &label) const
{
    const QRectF rect = labelRect(label, QFontMetricsF(labelFont()));
    paintLabelText(painter, rect, label);
    return rect;
}

QFont ChartLayer::labelFont() const
{
    return fontOfSize(m_look.font, kAxisFontPixels);
}

void ChartLayer::paintLabelText(QPainter &painter, const QRectF &rect, const Chart::Label &label) const
{
    const QRectF textRect = rect.adjusted(0, label.topPadding, 0, 0);
    painter.save();
    painter.setFont(labelFont());
    paintInked(painter, textRect, label.text,
               ChartLabelInk::inkFor(m_image, textRect, toneColor(label.tone), m_look.palette.color(QPalette::Window)));
    painter.restore();
}

QColor ChartLayer::toneColor(Chart::Tone tone) const
{
    return namedColor(tone == Chart::Tone::Primary ? NamedColor::Primary : NamedColor::Secondary, m_look.palette);
}

void ChartLayer::paintInked(QPainter &painter, const QRectF &textRect, const QString &text, const ChartLabelInk::Ink &ink) const
{
    // Every pixel the text's rectangle touches, so no mark shows along its edges.
    painter.fillRect(textRect.toAlignedRect(), ink.plate);
    painter.setPen(ink.text);
    painter.drawText(textRect, Qt::AlignCenter, text);
}

void ChartLayer::inkLabels()
{
    // Once per layer: the picture behind a data label does not change until the layer does.
    const QColor window = m_look.palette.color(QPalette::Window);
    m_labelInks.clear();
    m_labelInks.reserve(m_labels.size());
    for (const PlacedLabel &label : m_labels)
        m_labelInks.push_back(ChartLabelInk::inkFor(m_image, label.rect.adjusted(0, label.topPadding, 0, 0), toneColor(label.tone), window));
}


QList<QRectF> ChartLayer::paintGrid(QPainter &painter) const
{
    QList<QRectF> labels;
    const ChartLayout &l = m_layout;
    const QColor text = m_look.palette.color(QPalette::Text);
    QColor grid = text;
    grid.setAlphaF(0.12f);
    QColor axisText = namedColor(NamedColor::Secondary, m_look.palette);
    painter.setFont(labelFont());
    const QFontMetricsF metrics(painter.font());

    for (const ChartTicks::Tick &tick : l.yTicks().ticks) {
        const qreal y = std::round(yPixel(tick.value)) + 0.5;
        hairline(painter, QPointF(l.plot().left(), y), QPointF(l.plot().right(), y), grid);
        painter.setPen(axisText);
        const QRectF box(kOuterMargin, y - metrics.height() / 2, l.plot().left() - kTickGap - kOuterMargin, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tick.label);
        const qreal w = metrics.horizontalAdvance(tick.label);
        labels.append(QRectF(box.right() - w, box.top(), w, box.height()));
    }
    qreal lastRight = -INFINITY;
    for (const ChartTicks::Tick &tick : l.xTicks().ticks) {
        const qreal x = std::round(xPixel(tick.value)) + 0.5;
        hairline(painter, QPointF(x, l.plot().top()), QPointF(x, l.plot().bottom() + kTickGap / 2), grid);
        const qreal w = metrics.horizontalAdvance(tick.label);
        QRectF box(x - w / 2, l.plot().bottom() + kTickGap, w, metrics.height());
        // Not under the duration axis's labels: the lowest of them reaches below the plot.
        const qreal leftmost = std::max<qreal>(0.0, l.plot().left() - kTickGap);
        box.moveLeft(std::clamp(box.left(), leftmost, std::max(leftmost, m_look.size.width() - w)));
        if (box.left() < lastRight + kTickGap)
            continue;
        lastRight = box.right();
        painter.setPen(axisText);
        painter.drawText(box, Qt::AlignCenter, tick.label);
        labels.append(box);
    }
    QColor axis = text;
    axis.setAlphaF(0.35f);
    const qreal baseline = std::round(l.plot().bottom()) + 0.5;
    hairline(painter, QPointF(l.plot().left(), baseline), QPointF(l.plot().right(), baseline), axis);
    return labels;
}

void ChartLayer::paintBars(QPainter &painter, QImage &image) const
{
    const ChartLayout &l = m_layout;
    const QRectF plot = l.plot();
    painter.save();
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    QList<QColor> colors;
    for (const Chart::Series &series : m_data->series)
        colors.append(seriesColor(series.paletteIndex));
    const auto colorOf = [&](int series) {
        return series >= 0 && series < colors.size() ? colors[series] : seriesColor(series);
    };
    const auto toX = [&](double v) { return l.xPixel(v); };
    const auto toY = [&](double v) { return std::floor(l.yPixel(v) + 0.5); };

    // Each bar becomes a whole-pixel rectangle; bars narrower than a pixel (a day of seconds on a
    // few hundred pixels) take one pixel column. With thinning, the rectangles of a series that
    // fall in one pixel column or row are merged as they come, so thousands of bars cost one
    // rectangle per run of pixels, not one each.
    // By series index, so series are painted in one order whatever their bars' order. The
    // series the data names are looked up by index; others (none in good data) in a map.
    std::vector<ChartThinning::RectMerger> merged(size_t(colors.size()));
    std::vector<QList<QRect>> given(size_t(colors.size()));
    std::map<int, ChartThinning::RectMerger> mergedElse;
    std::map<int, QList<QRect>> givenElse;
    for (const Chart::Bar &bar : m_data->bars) {
        if (!isFiniteValue(bar.x0) || !isFiniteValue(bar.x1) || !isFiniteValue(bar.y0) || !isFiniteValue(bar.y1))
            continue;
        qreal left = toX(std::min(bar.x0, bar.x1));
        qreal right = toX(std::max(bar.x0, bar.x1));
        qreal top = toY(std::max(bar.y0, bar.y1));
        qreal bottom = toY(std::min(bar.y0, bar.y1));
        if (right < plot.left() - 1 || left > plot.right() + 1 || !(bottom > top - 1))
            continue;
        if (bottom - top < 1)
            bottom = top + 1;
        // Ends far outside the plot are clipped away anyway; cut them to whole pixels an int holds.
        const qreal farLeft = plot.left() - 4;
        const qreal farRight = plot.right() + 4;
        if (left < farLeft || right > farRight) {
            left = std::max(left, farLeft);
            right = std::min(right, farRight);
        }
        top = std::max(top, std::floor(plot.top()) - 4);
        bottom = std::min(bottom, std::ceil(plot.bottom()) + 4);
        QRect rect;
        if (right - left < 1.5) {
            rect = QRect(int(std::floor((left + right) / 2)), int(top), 1, int(bottom - top));
        } else {
            // Wide bars keep a hairline gap from their neighbours.
            const qreal inset = right - left >= 4 ? 1 : 0;
            const qreal from = std::round(left) + inset;
            rect = QRect(int(from), int(top), int(std::max<qreal>(1, std::round(right) - from)), int(bottom - top));
        }
        const bool known = bar.series >= 0 && bar.series < colors.size();
        if (m_look.thinning)
            (known ? merged[size_t(bar.series)] : mergedElse[bar.series]).add(rect);
        else
            (known ? given[size_t(bar.series)] : givenElse[bar.series]).append(rect);
    }
    for (size_t series = 0; series < merged.size(); ++series) {
        if (m_look.thinning)
            given[series] = merged[series].take();
    }
    for (auto &[series, merger] : mergedElse)
        givenElse[series] = merger.take();
    std::vector<std::pair<int, const QList<QRect> *>> ordered;
    for (auto at = givenElse.cbegin(); at != givenElse.cend() && at->first < 0; ++at)
        ordered.emplace_back(at->first, &at->second);
    for (size_t series = 0; series < given.size(); ++series)
        ordered.emplace_back(int(series), &given[series]);
    for (auto at = givenElse.lower_bound(0); at != givenElse.cend(); ++at)
        ordered.emplace_back(at->first, &at->second);

    // Thinned, whole-pixel rectangles of opaque colours are written straight into the picture's
    // pixels, tens of times faster than the paint engine fills one-pixel-high rectangles.
    const qreal ratio = painter.device()->devicePixelRatioF();
    const bool direct = m_look.thinning && ratio == std::round(ratio) && image.format() == QImage::Format_ARGB32_Premultiplied
        && std::all_of(ordered.begin(), ordered.end(), [&](const auto &entry) { return colorOf(entry.first).alpha() == 255; });
    if (direct) {
        const int scale = int(ratio);
        // The clip the paint engine takes for the plot: its corners rounded to whole pixels.
        const QPoint clipTopLeft = (plot.topLeft() * ratio).toPoint();
        const QPoint clipEnd = (plot.bottomRight() * ratio).toPoint();
        const QRect deviceClip = QRect(clipTopLeft, clipEnd - QPoint(1, 1)) & image.rect();
        uchar *bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        for (const auto &[series, rects] : ordered) {
            const QRgb color = colorOf(series).rgba();
            for (const QRect &rect : *rects) {
                const QRect pixels = QRect(rect.topLeft() * scale, rect.size() * scale) & deviceClip;
                for (int y = pixels.top(); y <= pixels.bottom(); ++y)
                    std::fill_n(reinterpret_cast<QRgb *>(bits + y * stride) + pixels.left(), pixels.width(), color);
            }
        }
    } else {
        for (const auto &[series, rects] : ordered) {
            if (rects->isEmpty())
                continue;
            painter.setBrush(colorOf(series));
            painter.drawRects(rects->constData(), int(rects->size()));
        }
    }
    painter.restore();
}

qsizetype ChartLayer::paintLines(QPainter &painter, QImage &image) const
{
    const ChartLayout &l = m_layout;
    const QRectF plot = l.plot();
    const QRectF clip = plot.adjusted(-kSymbolRadius, -kSymbolRadius, kSymbolRadius, kSymbolRadius);
    std::vector<PixelLine> lines;
    lines.reserve(m_data->lines.size());
    qsizetype total = 0;
    for (const Chart::Line &line : m_data->lines) {
        PixelLine pixels;
        pixels.line = &line;
        pixels.paletteIndex = line.series >= 0 && line.series < m_data->series.size()
            ? m_data->series[line.series].paletteIndex
            : line.series;
        pixels.color = seriesColor(pixels.paletteIndex);
        pixels.points.reserve(line.points.size());
        for (const QPointF &point : line.points) {
            if (isFiniteValue(point.x()) && isFiniteValue(point.y()))
                pixels.points.append(QPointF(l.xPixel(point.x()), l.yPixel(point.y())));
        }
        total += pixels.points.size();
        lines.push_back(std::move(pixels));
    }
    // Decided over the whole plot: the lines with the fewest points keep every point while the
    // budget lasts, the rest are dense.
    if (const qreal budget = plot.width() * kSparsePointsPerColumn; m_look.thinning && qreal(total) > budget) {
        std::vector<size_t> order(lines.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return lines[a].points.size() < lines[b].points.size(); });
        qsizetype kept = 0;
        for (const size_t index : order) {
            kept += lines[index].points.size();
            lines[index].dense = qreal(kept) > budget;
        }
    }
    qsizetype full = 0;
    qsizetype dense = 0;
    for (const PixelLine &line : lines)
        (line.dense ? dense : full) += line.points.size();
    if (dense == 0) {
        paintFullLines(image, QPoint(0, 0), clip, lines);
        return full;
    }
    painter.save();
    painter.setClipRect(clip);
    paintDenseLines(painter, image, lines, clip, full, dense);
    painter.restore();
    return full;
}

void ChartLayer::paintFullLines(QImage &picture, QPoint offset, const QRectF &clip, const std::vector<PixelLine> &lines) const
{
    const qreal ratio = picture.devicePixelRatio();
    // The clip as the paint engine takes it, its edges rounded to whole device pixels.
    const QRect deviceClip(QPoint(qRound(clip.left() * ratio), qRound(clip.top() * ratio)),
                           QPoint(qRound(clip.right() * ratio) - 1, qRound(clip.bottom() * ratio) - 1));
    ChartStroke stroke(picture, deviceClip.translated(-offset));
    const auto onPicture = [&](const QPointF &point) {
        return QPointF(point.x() * ratio - offset.x(), point.y() * ratio - offset.y());
    };
    for (const PixelLine &line : lines) {
        if (line.dense)
            continue;
        const QRgb color = qPremultiply(line.color.rgba());
        // Segment by segment with flat ends, and the joins rounded by a disc at every point (or
        // covered by the symbol): the outline of a polyline with round joins, while each segment
        // costs only the pixels it touches. Series past the palette's hues are told apart by
        // their dash and symbol as well (a dense line keeps its shade and symbol: a dash would
        // not show in its band); a dash starts afresh at every segment.
        const QList<qreal> dash = ChartSeriesStyle::dash(line.paletteIndex);
        for (qsizetype i = 1; i < line.points.size(); ++i)
            stroke.segment(onPicture(line.points[i - 1]), onPicture(line.points[i]), kLineWidth * ratio, dash, color);
        const bool symbols = line.line->circleSymbols;
        const ChartSeriesStyle::Marker marker = ChartSeriesStyle::marker(line.paletteIndex);
        for (const QPointF &point : std::as_const(line.points)) {
            if (symbols)
                ChartSeriesStyle::paintMarker(stroke, onPicture(point), marker, kSymbolRadius * ratio, color);
            else if (dash.isEmpty())
                stroke.disc(onPicture(point), kLineWidth / 2 * ratio, color);
        }
    }
}

void ChartLayer::paintDenseLines(QPainter &painter, QImage &image, const std::vector<PixelLine> &lines, const QRectF &clip,
                                 qsizetype fullPoints, qsizetype densePoints) const
{
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QPoint origin(int(std::floor(clip.left() * ratio)), int(std::floor(clip.top() * ratio)));
    const QPoint end(int(std::ceil(clip.right() * ratio)), int(std::ceil(clip.bottom() * ratio)));
    ChartRaster raster(QSize(end.x() - origin.x(), end.y() - origin.y()), ratio);
    const auto toRaster = [&](const QPointF &point) {
        return QPointF(point.x() * ratio - origin.x(), point.y() * ratio - origin.y());
    };
    // The work is shared out in stripes of the plot's columns (and groups of lines with as many
    // points), done by whichever threads are free, the caller's own among them.
    const std::vector<std::pair<int, int>> denseColumns =
        ChartWork::stripes(raster.width(), ChartWork::parts(densePoints, kDensePointsPerPart));
    // Symbols are thinned over all dense lines together, the topmost kept where they crowd.
    QPolygonF symbols;
    std::vector<size_t> symbolLine;
    for (size_t index = lines.size(); index-- > 0;) {
        const PixelLine &line = lines[index];
        if (line.dense && line.line->circleSymbols) {
            symbols.append(line.points);
            symbolLine.insert(symbolLine.end(), size_t(line.points.size()), index);
        }
    }
    std::vector<qsizetype> kept;
    ChartWork::SideTask thinning([&] { kept = ChartThinning::distinctSymbolIndexes(symbols, kSymbolRadius, clip); },
                                 symbols.size() >= kSymbolsAside);
    std::vector<QPolygonF> thinned(lines.size());
    {
        const auto thin = [&](size_t from, size_t to) {
            for (size_t index = from; index < to; ++index) {
                if (!lines[index].dense)
                    continue;
                thinned[index] = ChartThinning::columnExtremes(lines[index].points);
                for (QPointF &point : thinned[index])
                    point = toRaster(point);
            }
        };
        // Groups of lines with about as many points each.
        ChartWork::Jobs jobs;
        const qsizetype groups = qsizetype(denseColumns.size());
        qsizetype group = 1;
        size_t from = 0;
        qsizetype points = 0;
        for (size_t index = 0; index < lines.size(); ++index) {
            points += lines[index].dense ? lines[index].points.size() : 0;
            if (points * groups >= densePoints * group || index + 1 == lines.size()) {
                jobs.add([&thin, from, to = index + 1] { thin(from, to); });
                from = index + 1;
                ++group;
            }
        }
        jobs.run();
    }
    // The lines drawn in full lie over the dense bands, where they can still be followed. Many
    // of them are drawn in stripes of columns on pictures of their own beside the dense ones, and
    // laid over them after.
    const bool fullAside = fullPoints >= kFullPointsAside;
    const std::vector<std::pair<int, int>> fullColumns =
        fullAside ? ChartWork::stripes(raster.width(), ChartWork::parts(fullPoints, kFullPointsPerPart)) : std::vector<std::pair<int, int>>();
    std::vector<QImage> fullPictures(fullColumns.size());
    {
        ChartWork::Jobs jobs;
        for (size_t part = 0; part < fullColumns.size(); ++part) {
            jobs.add([&, part] {
                const auto [from, to] = fullColumns[part];
                QImage &picture = fullPictures[part];
                picture = QImage(to - from + 1, raster.image().height(), QImage::Format_ARGB32_Premultiplied);
                picture.setDevicePixelRatio(ratio);
                picture.fill(Qt::transparent);
                paintFullLines(picture, QPoint(origin.x() + from, origin.y()), clip, lines);
            });
        }
        // The last line lies on top: it is drawn first and the ones before fill what it leaves.
        for (const auto &columns : denseColumns) {
            jobs.add([&, from = columns.first, to = columns.second] {
                for (size_t index = lines.size(); index-- > 0;) {
                    if (lines[index].dense)
                        raster.addLineUnder(thinned[index], lines[index].color.rgba(), kLineWidth * ratio, from, to);
                }
            });
        }
        jobs.run();
    }
    // One stamp per look (colour and marker): thousands of series share two dozen looks. Drawn
    // bottom line first, so the topmost line's symbols lie on top.
    thinning.join();
    std::map<std::pair<QRgb, int>, QImage> stamps;
    std::vector<std::pair<const QImage *, QPoint>> placed;
    placed.reserve(kept.size());
    for (auto at = kept.rbegin(); at != kept.rend(); ++at) {
        const PixelLine &line = lines[symbolLine[size_t(*at)]];
        const ChartSeriesStyle::Marker marker = ChartSeriesStyle::marker(line.paletteIndex);
        QImage &stamp = stamps[{line.color.rgba(), int(marker)}];
        if (stamp.isNull())
            stamp = symbolStamp(line.color, marker, ratio);
        const QPointF &point = symbols[*at];
        placed.emplace_back(&stamp, QPoint(qRound(std::round(point.x() - kSymbolRadius) * ratio) - origin.x(),
                                           qRound(std::round(point.y() - kSymbolRadius) * ratio) - origin.y()));
    }
    {
        ChartWork::Jobs jobs;
        for (const auto &columns : denseColumns) {
            jobs.add([&, from = columns.first, to = columns.second] {
                for (const auto &[stamp, at] : placed)
                    raster.stamp(*stamp, at, from, to);
            });
        }
        jobs.run();
    }
    painter.drawImage(QPointF(origin) / ratio, raster.image());
    if (!fullAside) {
        paintFullLines(image, QPoint(0, 0), clip, lines);
        return;
    }
    painter.setClipping(false);
    for (size_t part = 0; part < fullColumns.size(); ++part)
        painter.drawImage(QPointF(origin.x() + fullColumns[part].first, origin.y()) / ratio, fullPictures[part]);
}

QPointF ChartLayer::labelPoint(const Chart::Label &label) const
{
    const qreal left = xPixel(std::min(label.x0, label.x1));
    const qreal right = xPixel(std::max(label.x0, label.x1));
    const qreal top = yPixel(std::max(label.y0, label.y1));
    const qreal bottom = yPixel(std::min(label.y0, label.y1));
    const QPointF centre((left + right) / 2, (top + bottom) / 2);
    switch (label.position) {
    case Chart::LabelPosition::Top:
        return {centre.x(), top};
    case Chart::LabelPosition::Bottom:
        return {centre.x(), bottom};
    case Chart::LabelPosition::Leading:
        return {left, centre.y()};
    case Chart::LabelPosition::Trailing:
        return {right, centre.y()};
    case Chart::LabelPosition::Center:
        break;
    }
    return centre;
}

QSizeF ChartLayer::labelSize(const Chart::Label &label, const QFontMetricsF &metrics)
{
    return labelSize(label, metrics.horizontalAdvance(label.text), metrics);
}

QSizeF ChartLayer::labelSize(const Chart::Label &label, qreal textWidth, const QFontMetricsF &metrics)
{
    return {textWidth + 2, metrics.height() * std::max<qsizetype>(1, label.text.count(QLatin1Char('\n')) + 1) + label.topPadding};
}

QRectF ChartLayer::labelAnchor(const Chart::Label &label) const
{
    return QRectF(QPointF(xPixel(label.x0), yPixel(label.y1)), QPointF(xPixel(label.x1), yPixel(label.y0))).normalized();
}

QRectF ChartLayer::labelBounds(const Chart::Label &label) const
{
    // A data label may use the margin above the plot when its fit allows, but never the axis
    // columns or the time axis's row: those belong to the tick labels.
    const QRectF plot = m_layout.plot();
    const qreal top = label.fitY == Chart::Fit::Plot ? plot.top() : 0.0;
    return QRectF(QPointF(plot.left(), top), plot.bottomRight());
}

QRectF ChartLayer::legendStrip() const
{
    const QRectF legend = m_layout.legend();
    return legend.isEmpty() ? QRectF() : QRectF(0, legend.top(), m_look.size.width(), legend.height());
}

QRectF ChartLayer::labelRect(const Chart::Label &label, const QFontMetricsF &metrics) const
{
    const QRectF plot = m_layout.plot();
    const QRectF chart(QPointF(0, 0), QSizeF(m_look.size));
    const QRectF xBounds = label.fitX == Chart::Fit::Plot ? plot : chart;
    const QRectF yBounds = label.fitY == Chart::Fit::Plot ? plot : chart;
    return ChartLabelPlacement::movedInto(
        ChartLabelPlacement::atPosition(labelAnchor(label), labelSize(label, metrics), label.position, label.spacing),
        QRectF(QPointF(xBounds.left(), yBounds.top()), QPointF(xBounds.right(), yBounds.bottom())));
}

void ChartLayer::placeLabels()
{
    if (m_data->labels.empty())
        return;
    const QFontMetricsF metrics(labelFont());
    // Data labels keep off the axis labels, the legend and each other; one with no free place
    // beside its mark (on its side or the other) is left out rather than drawn over another.
    ChartLabelPlacement placement;
    for (const QRectF &rect : std::as_const(m_axisLabelRects))
        placement.block(rect);
    placement.block(legendStrip());
    ChartThinning::LabelCells cells(m_look.thinning ? metrics.height() : 0, QRectF(QPointF(0, 0), QSizeF(m_look.size)));
    LabelWidths widths(metrics);
    Chart::Label made;
    for (const Chart::Label &given : m_data->labels) {
        if (!isFiniteValue(given.x0) || !isFiniteValue(given.x1) || !isFiniteValue(given.y0) || !isFiniteValue(given.y1))
            continue;
        const bool valueOnly = given.text.isEmpty() && given.value && m_data->labelText;
        if (given.text.isEmpty() && !valueOnly)
            continue;
        if (!cells.claim(labelPoint(given))) {
            ++m_thinnedLabels;
            continue;
        }
        // A label that carries a value gets its text only now that it may be drawn.
        if (valueOnly) {
            made = given;
            made.text = m_data->labelText(*given.value);
        }
        const Chart::Label &label = valueOnly ? made : given;
        if (label.text.isEmpty())
            continue;
        const QRectF bounds = labelBounds(label);
        const std::optional<ChartLabelPlacement::Placed> placed = placement.place(
            ChartLabelPlacement::besideAnchor(labelAnchor(label), labelSize(label, widths.of(label.text), metrics), label.position,
                                              label.spacing, bounds),
            bounds);
        if (!placed) {
            ++m_thinnedLabels;
            continue;
        }
        m_labels.push_back(PlacedLabel{placed->rect, label.text, label.tone, label.topPadding});
    }
}

void ChartLayer::paintLegend(QPainter &painter) const
{
    legend().paint(painter, m_data->series, m_look.palette);
}
