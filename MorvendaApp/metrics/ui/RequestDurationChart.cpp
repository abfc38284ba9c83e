#include "RequestDurationChart.h"

#include "PathElision.h"
#include "RequestDurationBarChart.h"
#include "RequestDurationLineChart.h"
#include "RequestDurationPathListView.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SecondaryLabel.h"
#include "MorvendaApp/components/SelectionChipButton.h"
#include "MorvendaApp/components/SymbolLabel.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/RequestDurationPathListModel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QResizeEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kPathColumnWidth = 200;
// The path column's narrowest, and the chart width below which the column gives up its own
// width first: in a narrow window the chart, not the list, is what the user came for.
constexpr int kPathColumnMinWidth = 100;
constexpr int kChartComfortWidth = 240;
// The chart area's narrowest: its plot still shows beside the duration axis, and the metrics pane
// holding the frame with the path column at its narrowest is no wider than 240 px, the details
// column of a 640-px window beside the timeline's 400. Without it an expanded pane, which no longer
// has the details to hold its column's width, lets the timeline take that width and squeezes the
// chart to nothing.
constexpr int kChartMinWidth = 86;
constexpr int kCaptionPixels = 10;

// A path row in the accent colour while its path is selected, as wide as the list and shortened
// so the ids in REST paths show in a narrow column (PathElision); the tooltip gives the whole path.
class PathRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        const QWidget *widget = row.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        // The style draws the text inside these margins of its text rectangle and elides what
        // is wider; a text shortened to that width is drawn as it is.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int width = style->subElementRect(QStyle::SE_ItemViewItemText, &row, widget).width() - 2 * margin;
        row.text = m_elided.elide(row.text, row.font, width);
        style->drawControl(QStyle::CE_ItemViewItem, &row, painter, widget);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // A list view makes its rows as wide as the widest hint when that is wider than the
        // list, and then cuts them at its edge instead of eliding them.
        return {1, QStyledItemDelegate::sizeHint(option, index).height()};
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const bool selected = index.data(RequestDurationPathListModel::SelectedRole).toBool();
        option->palette.setColor(QPalette::Text, namedColor(selected ? NamedColor::Accent : NamedColor::Primary, option->palette));
        option->textElideMode = Qt::ElideMiddle;
    }

private:
    mutable PathElision::Cache m_elided;
};

QString typeHelp(RequestDurationChartType type)
{
    return L10n::text(type == RequestDurationChartType::Line ? "Metrics.RequestDurationChartType.line"
                                                             : "Metrics.RequestDurationChartType.bar");
}
} // namespace

RequestDurationChart::RequestDurationChart(MessageRepository &repository, QWidget *parent)
    : QWidget(parent), m_viewModel(new RequestDurationChartViewModel(repository, this))
{
    buildLayout();
    connectSignals();
    showContent();
}

SelectionChipButton *RequestDurationChart::typeButton(RequestDurationChartType type) const
{
    return type == RequestDurationChartType::Line ? m_lineButton : m_barButton;
}

RequestDurationMeasuredChart *RequestDurationChart::chart() const
{
    return m_chart;
}

void RequestDurationChart::buildLayout()
{
    m_barButton = new SelectionChipButton(QStringLiteral("align.horizontal.left.fill"), this);
    m_lineButton = new SelectionChipButton(QStringLiteral("chart.xyaxis.line"), this);
    auto *types = new QVBoxLayout;
    types->addStretch(1);
    for (const RequestDurationChartType type : RequestDurationChartTypes::allCases) {
        typeButton(type)->setToolTip(typeHelp(type).toHtmlEscaped());
        types->addWidget(typeButton(type));
    }
    types->addStretch(1);

    m_emptyState = new QWidget(this);
    auto *title = new QLabel(L10n::text("RequestDurationChart.EmptyData.title"), m_emptyState);
    title->setTextFormat(Qt::PlainText);
    auto *description = new SecondaryLabel(kCaptionPixels, m_emptyState);
    description->setText(L10n::text("RequestDurationChart.EmptyData.description"));
    for (QLabel *label : {title, static_cast<QLabel *>(description)}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
    }
    auto *emptyColumn = new QVBoxLayout(m_emptyState);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(title);
    emptyColumn->addWidget(description);
    emptyColumn->addStretch(1);

    auto *chartArea = new QWidget(this);
    chartArea->setMinimumWidth(kChartMinWidth);
    m_chartArea = new QVBoxLayout(chartArea);
    m_chartArea->setContentsMargins(0, 0, 0, 0);
    m_chartArea->addWidget(m_emptyState);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(chartArea);
    m_splitter->addWidget(buildPathColumn());
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({10000, kPathColumnWidth});
    m_pathColumnWidth = kPathColumnWidth;
    m_splitter->installEventFilter(this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(types);
    row->addWidget(m_splitter, 1);
}

QWidget *RequestDurationChart::buildPathColumn()
{
    auto *column = new QWidget(this);
    column->setMinimumWidth(kPathColumnMinWidth);
    auto *header = new QLabel(L10n::text("Paths"), column);
    header->setTextFormat(Qt::PlainText);
    m_pathList = new RequestDurationPathListView(column);
    m_pathList->setModel(m_viewModel->filteredPathModel());
    m_pathList->setItemDelegate(new PathRowDelegate(m_pathList));
    m_pathList->setSelectionMode(QAbstractItemView::NoSelection);
    m_pathList->setUniformItemSizes(true);
    m_pathList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pathList->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_selectAll = new SymbolButton(QStringLiteral("checkmark.square.fill"), column);
    m_selectNone = new SymbolButton(QStringLiteral("square"), column);
    m_trash = new SymbolButton(QStringLiteral("trash"), column);
    static_cast<SymbolButton *>(m_trash)->setTint(NamedColor::Red);
    m_trash->setAutoRaise(true);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->addStretch(1);
    buttons->addWidget(m_selectAll);
    buttons->addWidget(m_selectNone);
    buttons->addStretch(1);
    buttons->addWidget(m_trash);

    m_filterIcon = new SymbolLabel(QStringLiteral("line.3.horizontal.decrease.circle"), NamedColor::Secondary, 14, column);
    m_filter = new QLineEdit(column);
    m_filter->setPlaceholderText(L10n::text("RequestDurationChart.filter"));
    m_filter->setClearButtonEnabled(true);
    auto *filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(2, 0, 2, 0);
    filterRow->addWidget(m_filterIcon);
    filterRow->addWidget(m_filter, 1);

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(header);
    layout->addWidget(m_pathList, 1);
    layout->addLayout(buttons);
    layout->addLayout(filterRow);
    return column;
}

QWidget *RequestDurationChart::chartArea() const
{
    return m_splitter->widget(0);
}

bool RequestDurationChart::eventFilter(QObject *watched, QEvent *event)
{
    // Sizes for the new width are given before the splitter lays out, so it never shows a chart
    // squeezed to nothing beside a full-width path column.
    if (watched == m_splitter && event->type() == QEvent::Resize)
        fitSplit(static_cast<QResizeEvent *>(event)->size().width());
    return QWidget::eventFilter(watched, event);
}

void RequestDurationChart::fitSplit(int splitterWidth)
{
    const int total = splitterWidth - m_splitter->handleWidth();
    if (total <= 0)
        return;
    // The column keeps the width the user gave it while the chart has its comfortable width,
    // and yields down to its minimum before the chart gets narrower.
    const int paths = std::clamp(total - kChartComfortWidth, std::min(kPathColumnMinWidth, total / 2),
                                 std::max(kPathColumnMinWidth, m_pathColumnWidth));
    m_splitter->setSizes({total - paths, paths});
}

void RequestDurationChart::connectSignals()
{
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_pathColumnWidth = m_splitter->sizes().value(1); });
    RequestDurationChartViewModel *model = m_viewModel;
    for (const RequestDurationChartType type : RequestDurationChartTypes::allCases)
        connect(typeButton(type), &QToolButton::clicked, model, [model, type] { model->setType(type); });
    connect(m_pathList, &QAbstractItemView::clicked, model,
            [model](const QModelIndex &index) { model->togglePath(index.data(RequestDurationPathListModel::PathRole).toString()); });
    connect(m_selectAll, &QToolButton::clicked, model, &RequestDurationChartViewModel::selectAllPaths);
    connect(m_selectNone, &QToolButton::clicked, model, &RequestDurationChartViewModel::deselectAllPaths);
    connect(m_trash, &QToolButton::clicked, model, &RequestDurationChartViewModel::clear);
    connect(m_filter, &QLineEdit::textEdited, model, &RequestDurationChartViewModel::setPathFilter);
    connect(model, &RequestDurationChartViewModel::typeChanged, this, &RequestDurationChart::showContent);
    connect(model, &RequestDurationChartViewModel::selectedPathsChanged, this, [this] {
        m_selectionChanged = true;
        showContent();
    });
    connect(model, &RequestDurationChartViewModel::graphDataChanged, this, [this] {
        const bool atOnce = std::exchange(m_selectionChanged, false);
        if (!m_chart)
            return;
        m_chart->setGraphData(m_viewModel->graphData());
        if (atOnce && m_chart->isVisible())
            m_chart->refreshNow();
    });
}

void RequestDurationChart::showContent()
{
    const RequestDurationChartType type = m_viewModel->type();
    for (const RequestDurationChartType each : RequestDurationChartTypes::allCases)
        typeButton(each)->setCurrent(each == type);

    // The test is on the selection, not on the data: selected paths without measured exchanges
    // show an empty chart.
    const bool empty = m_viewModel->selectedPaths().isEmpty();
    const bool isLine = qobject_cast<RequestDurationLineChart *>(m_chart.data()) != nullptr;
    const bool keep = m_chart && !empty && isLine == (type == RequestDurationChartType::Line);
    if (!keep) {
        // A switch drops the chart with its marks: the next one starts with empty tools.
        delete m_chart.data();
        if (!empty) {
            if (type == RequestDurationChartType::Line)
                m_chart = new RequestDurationLineChart(this);
            else
                m_chart = new RequestDurationBarChart(this);
            m_chartArea->addWidget(m_chart);
            m_chart->setGraphData(m_viewModel->graphData());
            m_chart->show();
        }
    }
    m_emptyState->setVisible(empty);
}
