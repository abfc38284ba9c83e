#include "RequestDurationMeasuredChart.h"

#include "ChartWork.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/core/L10n.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {
// How far the pointer moves with the button down before a drag starts.
constexpr qreal kDragThreshold = 10;
// From this many items on, a paced refresh builds the drawing data on a worker thread.
constexpr qsizetype kBuildAsideFrom = 10000;

QColor yellow(const QPalette &palette)
{
    return namedColor(NamedColor::Yellow, palette);
}

QToolButton *undoButton(const char *title, QWidget *parent)
{
    auto *button = new SymbolButton(QStringLiteral("arrow.counterclockwise"), parent);
    button->setText(L10n::text(title));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setSymbolSize(12);
    button->hide();
    return button;
}
} // namespace

RequestDurationMeasuredChart::RequestDurationMeasuredChart(Kind kind, QWidget *parent)
    : QWidget(parent), m_tools(kind)
{
    buildLayout();
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refreshPaced();
    });
    m_building = new QFutureWatcher<Drawing>(this);
    connect(m_building, &QFutureWatcherBase::finished, this, [this] {
        if (m_building->future().resultCount() > 0) {
            Drawing drawing = m_building->future().takeResult();
            if (m_buildingRefresh == m_refreshes) {
                QElapsedTimer timer;
                timer.start();
                draw(std::move(drawing));
                // The build ran aside: only the main thread's share paces the next one.
                m_pacing.ran(double(timer.nsecsElapsed()) / 1e6 + m_chart->lastLayerRenderMs());
            } else {
                // Outdated by a refresh made meanwhile; big, it would take milliseconds to free here.
                ChartWork::releaseAside(std::move(drawing));
            }
        }
        if (m_stale)
            scheduleRefresh();
    });
}

RequestDurationMeasuredChart::~RequestDurationMeasuredChart() = default;

void RequestDurationMeasuredChart::buildLayout()
{
    m_chart = new ChartView(this);
    m_chart->setMouseTracking(true);
    m_chart->installEventFilter(this);
    m_chart->setOverlayPainter([this](QPainter &painter) { paintOverlay(painter); });
    connect(m_chart, &ChartView::layerShown, this, &RequestDurationMeasuredChart::adoptShown);

    m_undoTap = undoButton("Undo tap mark", this);
    m_undoDrag = undoButton("Undo drag mark", this);
    connect(m_undoTap, &QToolButton::clicked, this, [this] {
        m_tools.undoTapMark();
        toolsChanged();
    });
    connect(m_undoDrag, &QToolButton::clicked, this, [this] {
        m_tools.undoDragMark();
        toolsChanged();
    });
    m_undoRow = new QHBoxLayout;
    m_undoRow->setSpacing(12);
    m_undoRow->setContentsMargins(8, 0, 8, 0);
    m_undoRow->addWidget(m_undoTap);
    m_undoRow->addWidget(m_undoDrag);
    // The row keeps a button's height while it shows none: were it to collapse under the last
    // undo, the chart would grow under the pointer and the click repeated on that undo would
    // land on the chart and pin a mark.
    m_undoRow->addStrut(m_undoTap->sizeHint().height());

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *padded = new QVBoxLayout;
    padded->setContentsMargins(6, 6, 6, 6);
    padded->addWidget(m_chart);
    column->addLayout(padded, 1);
    column->addLayout(m_undoRow);
}

void RequestDurationMeasuredChart::setGraphData(const QList<RequestDurationChartItem> &items)
{
    m_pending = items;
    scheduleRefresh();
}

void RequestDurationMeasuredChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refreshNow();
}

// Live sessions deliver exchanges one by one: the chart is rebuilt at most once per turn of the
// event loop, paced by how long a rebuild takes, and not at all while hidden.
void RequestDurationMeasuredChart::scheduleRefresh()
{
    m_stale = true;
    if (m_refreshTimer.isActive() || !isVisible())
        return;
    m_refreshTimer.start(m_pacing.nextDelayMs());
}

void RequestDurationMeasuredChart::refreshNow()
{
    QElapsedTimer timer;
    timer.start();
    m_stale = false;
    m_refreshTimer.stop();
    // A build still running on the worker is outdated by this one.
    ++m_refreshes;
    draw(build(dataBuilder(), m_pending));
    m_pacing.ran(double(timer.nsecsElapsed()) / 1e6 + m_chart->lastLayerRenderMs());
}

void RequestDurationMeasuredChart::refreshPaced()
{
    if (m_pending.size() < kBuildAsideFrom)
        return refreshNow();
    // One build at a time: what arrives meanwhile is built when it is done.
    if (m_building->isRunning())
        return;
    m_stale = false;
    m_buildingRefresh = ++m_refreshes;
    m_building->setFuture(QtConcurrent::run(&RequestDurationMeasuredChart::build, dataBuilder(), m_pending));
}

RequestDurationMeasuredChart::Drawing RequestDurationMeasuredChart::build(DataBuilder builder,
                                                                        QList<RequestDurationChartItem> items)
{
    Drawing drawing;
    drawing.drawn.extent = RequestDurationMeasure::extentOf(items);
    drawing.data = builder(items);
    drawing.drawn.items = std::move(items);
    return drawing;
}

void RequestDurationMeasuredChart::draw(Drawing drawing)
{
    const quint64 serial = m_chart->setData(std::move(drawing.data));
    m_waiting[serial] = std::move(drawing.drawn);
    adoptShown();
}

void RequestDurationMeasuredChart::adoptShown()
{
    const auto shown = m_waiting.find(m_chart->shownDataSerial());
    if (shown == m_waiting.end())
        return;
    // The reference times follow every change of the drawn items, never a pointer event. The
    // items drawn so far, and those handed over before these (never shown now), are let go aside:
    // hundreds of thousands of them take milliseconds to free.
    QList<QList<RequestDurationChartItem>> gone{std::exchange(m_items, std::move(shown->second.items))};
    m_extent = shown->second.extent;
    for (auto skipped = m_waiting.begin(); skipped != shown; ++skipped)
        gone.append(std::move(skipped->second.items));
    m_waiting.erase(m_waiting.begin(), std::next(shown));
    ChartWork::releaseAside(std::move(gone));
    // The hover read-out and the rules it names follow the new drawing.
    toolsChanged();
}

std::optional<double> RequestDurationMeasuredChart::dateAt(qreal x) const
{
    if (!m_extent || m_chart->plotRect().isEmpty())
        return std::nullopt;
    const std::optional<double> value = m_chart->xValue(x);
    if (!value)
        return std::nullopt;
    return std::min(*value, latestTime(*m_extent));
}

bool RequestDurationMeasuredChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_chart)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPointF at = mouse->position();
        if (!(mouse->buttons() & Qt::LeftButton) || !m_pressAt) {
            m_tools.hover(dateAt(at.x()), valueAt(at.y()));
            toolsChanged();
            break;
        }
        if (!m_dragging && QLineF(*m_pressAt, at).length() < kDragThreshold)
            break;
        m_dragging = true;
        m_tools.dragChanged(dateAt(m_pressAt->x()), dateAt(at.x()));
        toolsChanged();
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_pressAt = mouse->position();
            m_dragging = false;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressAt)
            break;
        // A click pins what the hover read-out shows; a release that ends a drag pins nothing.
        if (!m_dragging && m_tools.tap())
            toolsChanged();
        m_pressAt.reset();
        m_dragging = false;
        break;
    }
    case QEvent::Leave:
        m_tools.hoverEnded();
        toolsChanged();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void RequestDurationMeasuredChart::toolsChanged()
{
    m_undoTap->setVisible(!m_tools.marks().empty());
    m_undoDrag->setVisible(m_tools.dragMark().has_value());
    m_chart->updateOverlay();
}

Chart::Rule RequestDurationMeasuredChart::hoverRule(double value, const QString &text)
{
    Chart::Rule rule = measuringRule(Qt::Horizontal, value, std::nullopt, 0.5, 3, text, Chart::LabelPosition::Trailing,
                                     2, Chart::Fit::Plot, Chart::Tone::Secondary);
    rule.label->topPadding = 20;
    return rule;
}

int RequestDurationMeasuredChart::seriesOfPath(Chart::Data &data, QHash<QString, int> &seriesOf, const QString &path)
{
    auto series = seriesOf.constFind(path);
    if (series == seriesOf.cend()) {
        series = seriesOf.insert(path, int(data.series.size()));
        data.series.append(Chart::Series{RequestDurationPaths::displayName(path), int(data.series.size())});
    }
    return *series;
}

Chart::Rule RequestDurationMeasuredChart::measuringRule(Qt::Orientation orientation, double value,
                                                       std::optional<QColor> color, qreal width, qreal dash,
                                                       const QString &text, Chart::LabelPosition position,
                                                       qreal spacing, Chart::Fit fitY, Chart::Tone tone)
{
    Chart::Label label;
    label.text = text;
    label.position = position;
    label.spacing = spacing;
    label.fitX = Chart::Fit::Plot;
    label.fitY = fitY;
    label.tone = tone;
    // The chart's dash is in units of the line width; the tools give it in pixels.
    return Chart::Rule{orientation, value, color, width, {dash / width, dash / width}, label};
}

QList<Chart::Rule> RequestDurationMeasuredChart::tapMarkRules(const RequestDurationMeasuringTools::Mark &mark,
                                                              double firstStart) const
{
    return {measuringRule(Qt::Vertical, mark.time, namedColor(NamedColor::Red, palette()), 1, 2,
                          RequestDurationMeasure::secondsText(mark.time - firstStart), Chart::LabelPosition::Bottom, 2,
                          Chart::Fit::Chart, Chart::Tone::Primary)};
}

void RequestDurationMeasuredChart::paintBand(QPainter &painter, ChartLabelPlacement &placement) const
{
    const auto &[start, end] = *m_tools.dragMark();
    const QRectF plot = m_chart->plotRect();
    const qreal centre = m_chart->yPixel(bandValue());
    const qreal half = bandThickness() / 2;
    const QRectF band = QRectF(QPointF(m_chart->xPixel(start), centre - half), QPointF(m_chart->xPixel(end), centre + half))
                            .normalized()
                            .intersected(plot.adjusted(0, -half, 0, half));
    painter.save();
    painter.fillRect(band, yellow(palette()));
    painter.restore();
    Chart::Label length;
    length.x0 = std::min(start, end);
    length.x1 = std::max(start, end);
    length.y0 = length.y1 = bandValue();
    length.text = RequestDurationMeasure::secondsText(end - start);
    length.position = Chart::LabelPosition::Top;
    length.spacing = half + 2;
    m_chart->paintLabel(painter, length, &placement);
}

void RequestDurationMeasuredChart::paintOverlay(QPainter &painter) const
{
    const std::optional<double> first = m_extent ? std::optional(m_extent->firstStart) : std::nullopt;
    // The tools' labels share the free room of the plot, in the order they are drawn.
    ChartLabelPlacement placement = m_chart->overlayPlacement();
    // Drag band with its edges.
    if (const auto &drag = m_tools.dragMark()) {
        if (first) {
            for (const double edge : {drag->first, drag->second}) {
                m_chart->paintRule(painter, measuringRule(Qt::Vertical, edge, yellow(palette()), 1, 2,
                                                          RequestDurationMeasure::secondsText(edge - *first),
                                                          Chart::LabelPosition::Bottom, 6, Chart::Fit::Chart,
                                                          Chart::Tone::Primary),
                                    &placement);
            }
        }
        paintBand(painter, placement);
    }
    // Tap marks: the bar chart draws them under the hover rules, the line chart above.
    const auto paintMarks = [&] {
        if (!first)
            return;
        for (const RequestDurationMeasuringTools::Mark &mark : m_tools.marks()) {
            for (const Chart::Rule &rule : tapMarkRules(mark, *first))
                m_chart->paintRule(painter, rule, &placement);
        }
    };
    if (m_tools.kind() == Kind::Bar)
        paintMarks();
    if (m_tools.hoverTime() && first) {
        m_chart->paintRule(painter, measuringRule(Qt::Vertical, *m_tools.hoverTime(), std::nullopt, 1, 3,
                                                  RequestDurationMeasure::secondsText(*m_tools.hoverTime() - *first),
                                                  Chart::LabelPosition::Top, 2, Chart::Fit::Chart,
                                                  Chart::Tone::Secondary),
                            &placement);
    }
    if (m_tools.hoverValue()) {
        if (const std::optional<Chart::Rule> rule = hoverValueRule(*m_tools.hoverValue()))
            m_chart->paintRule(painter, *rule, &placement);
    }
    if (m_tools.kind() == Kind::Line)
        paintMarks();
}
