#include "MetricsView.h"

#include "MorvendaApp/components/SegmentedPicker.h"
#include "MorvendaApp/components/SelectionChipButton.h"
#include "MorvendaApp/core/WindowManager.h"
#include "MorvendaApp/metrics/MetricsViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kTitlePixels = 15;
constexpr int kPickerMaxWidth = 150;
constexpr int kPaneMargin = 6;
} // namespace

MetricsView::MetricsView(WindowManager &windowManager, HelpButton::Presenter helpPresenter, QWidget *parent)
    : QWidget(parent)
    , m_windowManager(windowManager)
    , m_viewModel(new MetricsViewModel(this))
{
    buildLayout(std::move(helpPresenter));
    connectSignals();
    showGraph(m_viewModel->selectedGraph());
    showExpanded(m_windowManager.expandBottomView());
}

void MetricsView::buildLayout(HelpButton::Presenter helpPresenter)
{
    m_picker = new SegmentedPicker(2, this);
    m_picker->setMaximumWidth(kPickerMaxWidth);
    MetricsViewModel *viewModel = m_viewModel;
    m_picker->setData(
        kAllGraphTypes,
        [this](GraphType graph) -> QWidget * {
            auto *button = new SelectionChipButton(graphTypeSymbol(graph), this);
            button->setToolTip(graphTypeTitle(graph).toHtmlEscaped());
            return button;
        },
        [viewModel](GraphType graph) { viewModel->setSelectedGraph(graph); });

    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(kTitlePixels);
    m_title->setFont(titleFont);
    // In a narrow pane the title gives way (cut at its end) before the picker and the buttons.
    m_title->setMinimumWidth(1);

    m_expand = new SymbolButton(QStringLiteral("rectangle.expand.vertical"), this);
    m_expand->setAutoRaise(true);
    auto *help = new HelpButton(Help::Metrics, std::move(helpPresenter), this);
    help->setAutoRaise(true);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(m_picker);
    header->addStretch(1);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_expand);
    header->addWidget(help);

    m_chartArea = new QVBoxLayout;
    m_chartArea->setContentsMargins(0, 0, 0, 0);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kPaneMargin, kPaneMargin, kPaneMargin, 0);
    column->setSpacing(4);
    column->addLayout(header);
    column->addLayout(m_chartArea, 1);
}

void MetricsView::connectSignals()
{
    connect(m_viewModel, &MetricsViewModel::selectedGraphChanged, this, &MetricsView::showGraph);
    connect(&m_windowManager, &WindowManager::expandBottomViewChanged, this, &MetricsView::showExpanded);
    connect(m_expand, &QToolButton::clicked, this, &MetricsView::toggleExpandBottomView);
}

void MetricsView::setChartFactory(GraphType graph, ChartFactory factory)
{
    m_factories.insert(graph, std::move(factory));
    if (m_viewModel->selectedGraph() == graph) {
        m_shownGraph.reset();
        showGraph(graph);
    }
}

SelectionChipButton *MetricsView::graphButton(GraphType graph) const
{
    const auto index = std::find(kAllGraphTypes.begin(), kAllGraphTypes.end(), graph) - kAllGraphTypes.begin();
    return qobject_cast<SelectionChipButton *>(m_picker->itemWidget(int(index)));
}

void MetricsView::toggleExpandBottomView()
{
    m_windowManager.setExpandBottomView(!m_windowManager.expandBottomView());
}

void MetricsView::showGraph(GraphType graph)
{
    for (const GraphType each : kAllGraphTypes) {
        if (SelectionChipButton *button = graphButton(each))
            button->setCurrent(each == graph);
    }
    m_title->setText(graphTypeTitle(graph));
    // Picking the graph already shown keeps its chart; a switch drops the chart with its state.
    if (m_shownGraph == graph && m_chart)
        return;
    m_shownGraph = graph;
    delete m_chart.data();
    const ChartFactory factory = m_factories.value(graph);
    m_chart = factory ? factory() : nullptr;
    if (m_chart) {
        m_chartArea->addWidget(m_chart);
        // Now, not on the layout's next turn: the chart starts counting from the moment it is picked.
        m_chart->show();
    }
}

void MetricsView::showExpanded(bool expanded)
{
    m_expand->setSymbol(expanded ? QStringLiteral("rectangle.compress.vertical")
                                 : QStringLiteral("rectangle.expand.vertical"));
}
