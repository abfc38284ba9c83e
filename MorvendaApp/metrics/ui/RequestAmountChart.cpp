#include "RequestAmountChart.h"

#include "MorvendaApp/components/SecondaryLabel.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/metrics/RequestAmountChartViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The narrowest time axis, in seconds: a lone second reads as a bar, not as a wall of colour.
constexpr double kMinimumSpan = 10;
constexpr int kCaptionPixels = 10;
} // namespace

RequestAmountChart::RequestAmountChart(MessageRepository &repository, QWidget *parent)
    : QWidget(parent)
    , m_repository(repository)
    , m_viewModel(new RequestAmountChartViewModel(this))
{
    buildLayout();
    connectSignals();
}

void RequestAmountChart::buildLayout()
{
    m_emptyState = new QWidget(this);
    auto *title = new QLabel(L10n::text("RequestAmountChart.EmptyData.title"), m_emptyState);
    title->setTextFormat(Qt::PlainText);
    auto *description = new SecondaryLabel(kCaptionPixels, m_emptyState);
    description->setText(L10n::text("RequestAmountChart.EmptyData.description"));
    for (QLabel *label : {title, static_cast<QLabel *>(description)})
        label->setAlignment(Qt::AlignCenter);
    auto *emptyColumn = new QVBoxLayout(m_emptyState);
    emptyColumn->setContentsMargins(0, 0, 0, 0);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(title);
    emptyColumn->addWidget(description);
    emptyColumn->addStretch(1);

    m_chart = new ChartView(this);
    auto *chartPage = new QWidget(this);
    auto *chartPadding = new QVBoxLayout(chartPage);
    chartPadding->setContentsMargins(2, 2, 2, 2);
    chartPadding->addWidget(m_chart);

    m_content = new QStackedWidget(this);
    m_content->addWidget(m_emptyState);
    m_content->addWidget(chartPage);
    m_content->setMinimumSize(0, 0);

    m_trash = new SymbolButton(QStringLiteral("trash"), this);
    m_trash->setTint(NamedColor::Red);
    m_trash->setAutoRaise(true);
    m_trash->setSymbolSize(14);
    auto *toolbar = new QHBoxLayout;
    toolbar->setSpacing(12);
    toolbar->setContentsMargins(4, 0, 4, 4);
    toolbar->addStretch(1);
    toolbar->addWidget(m_trash);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_content, 1);
    column->addLayout(toolbar);
}

void RequestAmountChart::connectSignals()
{
    connect(m_viewModel, &RequestAmountChartViewModel::itemAppended, this, &RequestAmountChart::scheduleRefresh);
    // Emptying is the user's own action: it shows at once, not at the next paced refresh.
    connect(m_viewModel, &RequestAmountChartViewModel::graphDataCleared, this, [this] {
        if (isVisible())
            refresh();
        else
            m_stale = true;
    });
    connect(m_trash, &QToolButton::clicked, m_viewModel, &RequestAmountChartViewModel::clear);
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
}

void RequestAmountChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewModel->setup(m_repository);
    if (m_stale)
        refresh();
}

// Requests arrive in bursts (a session file, a chatty app): the chart is rebuilt at most once per
// turn of the event loop, paced by how long a rebuild takes, and not at all while hidden.
void RequestAmountChart::scheduleRefresh()
{
    m_stale = true;
    if (m_refreshTimer.isActive() || !isVisible())
        return;
    m_refreshTimer.start(m_pacing.nextDelayMs());
}

void RequestAmountChart::refresh()
{
    QElapsedTimer timer;
    timer.start();
    m_stale = false;
    m_refreshTimer.stop();
    // Decided on what can be drawn: requests stamped with times no calendar holds are counted but
    // give no bar, and an axis over none of them would only show made-up dates.
    const bool empty = m_viewModel->buckets().seconds().empty();
    m_content->setCurrentIndex(empty ? 0 : 1);
    m_chart->setData(empty ? Chart::Data{} : chartData(m_viewModel->buckets()));
    // The drawing itself follows in this turn's paint; the last one's time stands in for it.
    m_pacing.ran(double(timer.nsecsElapsed()) / 1e6 + m_chart->lastLayerRenderMs());
}

Chart::Data RequestAmountChart::chartData(const RequestAmountBuckets &buckets)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.yMinimumStep = 1;
    const auto &seconds = buckets.seconds();
    const auto &names = requestAmountSeriesNames();

    // Only the methods that occur get a legend entry; each keeps its own colour all the same.
    std::array<int, kRequestAmountSeriesCount> seriesIndex{};
    seriesIndex.fill(-1);
    std::array<bool, kRequestAmountSeriesCount> present{};
    for (const auto &[second, counts] : seconds) {
        for (std::size_t s = 0; s < counts.size(); ++s)
            present[s] = present[s] || counts[s] > 0;
    }
    for (int s = 0; s < kRequestAmountSeriesCount; ++s) {
        if (present[std::size_t(s)]) {
            seriesIndex[std::size_t(s)] = int(data.series.size());
            data.series.append(Chart::Series{names[std::size_t(s)], s});
        }
    }

    data.bars.reserve(seconds.size() * std::size_t(data.series.size()));
    for (const auto &[second, counts] : seconds) {
        const double start = double(second);
        double top = 0;
        for (std::size_t s = 0; s < counts.size(); ++s) {
            if (counts[s] == 0)
                continue;
            data.bars.push_back(Chart::Bar{start, start + 1, top, top + counts[s], seriesIndex[s]});
            top += counts[s];
        }
    }
    if (!seconds.empty()) {
        const double first = double(seconds.begin()->first);
        const double last = double(seconds.rbegin()->first) + 1;
        const double widen = std::max(0.0, kMinimumSpan - (last - first)) / 2;
        data.xDomain = std::pair(first - widen, last + widen);
    }
    return data;
}
