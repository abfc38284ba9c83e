#include "ChartView.h"

#include "ChartLabelPlacement.h"
#include "ChartWork.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// From this many marks (bars, line points, labels) on, a layer is drawn on a worker thread while the
// widget keeps showing the layer before it. Measured at 600x250: a line of 10,000 points draws in
// about 5 ms, 50,000 in 8 ms and 200,000 in 20 ms, more than a frame; a slower machine doubles that.
constexpr qsizetype kRenderAsideFrom = 20000;
// Fewer marks may still cost a frame (a loaded machine, a large widget, many lines): once a layer
// took this long, the next one is drawn aside too, until one is cheap again.
constexpr double kRenderAsideAboveMs = 8;

} // namespace

ChartView::ChartView(QWidget *parent)
    : QWidget(parent), m_data(std::make_shared<const Chart::Data>())
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_aside = new QFutureWatcher<ChartLayer>(this);
    connect(m_aside, &QFutureWatcherBase::finished, this, &ChartView::asideFinished);
    m_shown = ChartLayer(m_data, m_serial, look());
}

quint64 ChartView::setData(Chart::Data data)
{
    m_data = std::make_shared<const Chart::Data>(std::move(data));
    ++m_serial;
    invalidateLayer();
    return m_serial;
}

void ChartView::setThinning(bool on)
{
    if (on == m_thinning)
        return;
    m_thinning = on;
    invalidateLayer();
}

void ChartView::setRenderAside(bool on)
{
    if (on == m_renderAside)
        return;
    m_renderAside = on;
    invalidateLayer();
}

bool ChartView::rendersAside() const
{
    // A hidden widget blocks no input: it lays out and draws at once, as grab() expects.
    return m_renderAside && isVisible()
        && (ChartLayer::itemCount(*m_data) >= kRenderAsideFrom || m_lastRenderMs >= kRenderAsideAboveMs);
}

void ChartView::setOverlayPainter(OverlayPainter painter)
{
    m_overlay = std::move(painter);
    update();
}

QSize ChartView::minimumSizeHint() const
{
    return {0, 0};
}

ChartLayer::Look ChartView::look() const
{
    return {size(), devicePixelRatioF(), palette(), font(), m_thinning};
}

void ChartView::invalidateLayer()
{
    ++m_wanted;
    // A small layer is laid out at once and drawn at the next paint; a large one keeps the layer
    // shown, and what the pointer reads, until the worker has drawn the new one.
    if (!rendersAside())
        layOutNow();
    update();
}

void ChartView::layOutNow() const
{
    ChartWork::releaseAside(std::exchange(m_shown, ChartLayer(m_data, m_serial, look())));
    m_shownGeneration = m_wanted;
}

void ChartView::renderNow() const
{
    m_shown.render();
    ++m_layerRenders;
    ++m_mainThreadRenders;
    m_lastRenderMs = m_shown.renderMs();
}

const ChartLayer &ChartView::shown(bool drawn) const
{
    if (m_shownGeneration == m_wanted && !rendersAside()) {
        // A hidden widget is resized without a resize event.
        if (m_shown.look().size != size())
            layOutNow();
        if (drawn && !m_shown.rendered())
            renderNow();
    }
    return m_shown;
}

void ChartView::startAside()
{
    // One render at a time: when it ends, the newest request is drawn next.
    if (m_aside->isRunning())
        return;
    m_asideGeneration = m_wanted;
    m_aside->setFuture(QtConcurrent::run([data = m_data, serial = m_serial, look = look()]() mutable {
        ChartLayer layer(std::move(data), serial, std::move(look));
        layer.render();
        return layer;
    }));
}

void ChartView::asideFinished()
{
    // A layer drawn before a small one was shown is outdated; any other is newer than the one shown
    // and consistent in itself, so it is shown even when a newer request waits (a steady stream of
    // data never starves the picture).
    // Whichever layer goes, the one shown so far or an outdated one, may hold the last share of
    // big data: it is let go aside.
    if (m_aside->future().resultCount() > 0) {
        ChartLayer drawn = m_aside->future().takeResult();
        if (m_asideGeneration > m_shownGeneration) {
            std::swap(m_shown, drawn);
            m_shownGeneration = m_asideGeneration;
            ++m_layerRenders;
            m_lastRenderMs = m_shown.renderMs();
            emit layerShown();
        }
        ChartWork::releaseAside(std::move(drawn));
    }
    update();
}

bool ChartView::layerPending() const
{
    return m_shownGeneration != m_wanted || !m_shown.rendered() || m_aside->isRunning();
}

void ChartView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    invalidateLayer();
}

void ChartView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        invalidateLayer();
        break;
    default:
        break;
    }
}

QRectF ChartView::plotRect() const
{
    return shown().layout().plot();
}

qreal ChartView::xPixel(double value) const
{
    return shown().xPixel(value);
}

qreal ChartView::yPixel(double value) const
{
    return shown().yPixel(value);
}

std::optional<double> ChartView::xValue(qreal pixel) const
{
    return shown().layout().xValue(pixel);
}

std::optional<double> ChartView::yValue(qreal pixel) const
{
    return shown().layout().yValue(pixel);
}

QColor ChartView::seriesColor(int paletteIndex) const
{
    return shown().seriesColor(paletteIndex);
}

void ChartView::paintEvent(QPaintEvent *)
{
    // A move to a screen of another pixel ratio is seen only here; a layer laid out while the
    // widget was hidden is drawn aside once it shows.
    if (m_shownGeneration == m_wanted
        && (m_shown.look().ratio != devicePixelRatioF() || m_shown.look().size != size()
            || (!m_shown.rendered() && rendersAside())))
        invalidateLayer();
    // Hidden since the request (grab()), it is drawn at once.
    if (m_shownGeneration != m_wanted && !rendersAside())
        layOutNow();
    if (m_shownGeneration != m_wanted)
        startAside();
    else if (!m_shown.rendered())
        renderNow();
    QPainter painter(this);
    if (m_shown.rendered())
        painter.drawImage(QPointF(0, 0), m_shown.image());
    m_overlayLabelRects.clear();
    m_hiddenLabelRects.clear();
    m_overlayLabels.clear();
    if (m_overlay && !plotRect().isEmpty()) {
        m_deferOverlayLabels = true;
        painter.save();
        m_overlay(painter);
        painter.restore();
        m_deferOverlayLabels = false;
    }
    // Labels come last, on top of every mark and rule. The data labels are placed with the layer
    // but drawn at every paint: a tool's label that has to stand where a data label is hides it
    // instead of overprinting it.
    if (m_shown.rendered())
        m_shown.paintDataLabels(painter, m_hiddenLabelRects);
    for (const auto &[rect, label] : std::as_const(m_overlayLabels))
        m_shown.paintLabelText(painter, rect, label);
}

void ChartView::paintRule(QPainter &painter, const Chart::Rule &rule, ChartLabelPlacement *placement) const
{
    if (!placement) {
        m_shown.paintRule(painter, rule);
        return;
    }
    if (!m_shown.paintRuleLine(painter, rule) || !rule.label)
        return;
    const Chart::Label &label = *rule.label;
    const QSizeF size = ChartLayer::labelSize(label, QFontMetricsF(m_shown.labelFont()));
    const qreal at = rule.orientation == Qt::Vertical ? xPixel(rule.value) : yPixel(rule.value);
    paintOverlayLabel(painter, label,
                      ChartLabelPlacement::besideRule(rule.orientation, at, size, label.position, label.spacing,
                                                      label.topPadding > 0, plotRect()),
                      *placement);
}

ChartLabelPlacement ChartView::overlayPlacement() const
{
    ChartLabelPlacement placement;
    const ChartLayer &layer = shown(true);
    for (const QRectF &rect : layer.axisLabelRects())
        placement.block(rect);
    placement.block(layer.legendStrip());
    for (const QRectF &rect : layer.labelRects())
        placement.addSoft(rect);
    return placement;
}

void ChartView::paintOverlayLabel(QPainter &painter, const Chart::Label &label, const QList<QRectF> &candidates,
                                  ChartLabelPlacement &placement) const
{
    if (candidates.isEmpty())
        return;
    const QRectF plot = plotRect();
    std::optional<ChartLabelPlacement::Placed> placed = placement.place(candidates, plot, true);
    // Nowhere free, not even over the layer's labels: it stands where it belongs, on its plate
    // like every label, rather than being lost.
    if (!placed)
        placed = ChartLabelPlacement::Placed{ChartLabelPlacement::movedInto(candidates.first(), plot), {}};
    // The layer's labels this one must stand over are not drawn at this paint.
    m_hiddenLabelRects.append(placed->covered);
    m_overlayLabelRects.append(placed->rect);
    if (m_deferOverlayLabels)
        m_overlayLabels.append({placed->rect, label});
    else
        m_shown.paintLabelText(painter, placed->rect, label);
}

QRectF ChartView::paintLabel(QPainter &painter, const Chart::Label &label, ChartLabelPlacement *placement) const
{
    if (!placement)
        return m_shown.paintLabel(painter, label);
    const QSizeF size = ChartLayer::labelSize(label, QFontMetricsF(m_shown.labelFont()));
    QList<QRectF> candidates = ChartLabelPlacement::besideAnchor(m_shown.labelAnchor(label), size, label.position, label.spacing, plotRect());
    // Then row by row away from its mark, above and below, while the plot has room.
    const QRectF plot = plotRect();
    // Moved across into the plot's columns only: the rows step away from where it stands.
    const QRectF preferred = ChartLabelPlacement::movedInto(
        candidates.first(), QRectF(plot.left(), candidates.first().top(), plot.width(), candidates.first().height()));
    for (int row = 1; row * size.height() < plot.height(); ++row) {
        candidates.append(preferred.translated(0, -row * size.height()));
        candidates.append(preferred.translated(0, row * size.height()));
    }
    paintOverlayLabel(painter, label, candidates, *placement);
    return m_overlayLabelRects.isEmpty() ? QRectF() : m_overlayLabelRects.constLast();
}
