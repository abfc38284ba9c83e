#include "SettingsListView.h"

#include "Chip.h"
#include "PanelParts.h"
#include "SettingDelegate.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/components/FlowStack.h"
#include "MorvendaApp/components/SecondaryLabel.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/SettingsListModel.h"
#include "MorvendaApp/remote/SettingsListViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Chip titles are fixed labels, shown as written.
QString title(SettingTypeFilter filter)
{
    switch (filter) {
    case SettingTypeFilter::BoolExperiments:
        return QStringLiteral("Bool");
    case SettingTypeFilter::StringExperiments:
        return QStringLiteral("String");
    case SettingTypeFilter::NumericExperiments:
        break;
    }
    return QStringLiteral("Numeric");
}

QString symbol(SettingTypeFilter filter)
{
    switch (filter) {
    case SettingTypeFilter::BoolExperiments:
        return QStringLiteral("circle.lefthalf.filled");
    case SettingTypeFilter::StringExperiments:
        return QStringLiteral("a.circle");
    case SettingTypeFilter::NumericExperiments:
        break;
    }
    return QStringLiteral("number.circle");
}

} // namespace

SettingsListView::SettingsListView(MorvendaListener &listener, SettingsManager &settingsManager, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(new SettingsListViewModel(listener, settingsManager, this))
    , m_model(new SettingsListModel(*m_viewModel, this))
{
    buildLayout();
    connectSignals();
    refresh();
}

SettingsListView::~SettingsListView()
{
    m_delegate->detach();
}

void SettingsListView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTopStrip::following(m_viewModel->activeApp(), this));
    m_area = new PanelList(this);
    m_list = m_area->list();
    m_empty = m_area->emptyLabel();
    m_list->setModel(m_model);
    m_delegate = new SettingDelegate(*m_viewModel, m_list);
    m_list->setItemDelegate(m_delegate);
    layout->addWidget(m_area, 1);
    layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, this));
    layout->addWidget(buildFilterBar());
}

QWidget *SettingsListView::buildFilterBar()
{
    auto *bar = new QWidget(this);
    auto *layout = new QVBoxLayout(bar);
    layout->setContentsMargins(11, 0, 11, 11);
    layout->setSpacing(4);

    auto *countRow = new QHBoxLayout;
    countRow->addStretch(1);
    m_count = new SecondaryLabel(PanelParts::kCaption, bar);
    countRow->addWidget(m_count);
    layout->addLayout(countRow);

    const auto chipRow = [&] {
        auto *row = new QWidget(bar);
        auto *flow = new FlowStack(row, Qt::AlignLeft, 4, 4);
        flow->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(row);
        return flow;
    };
    FlowStack *kinds = chipRow();
    for (SettingTypeFilter filter : SettingFilters::allTypeFilters()) {
        auto *chip = new ChipButton(symbol(filter), title(filter));
        chip->setObjectName(SettingFilters::rawValue(filter));
        kinds->addWidget(chip);
        m_chips.append(chip);
        connect(chip, &ChipButton::clicked, m_viewModel, [this, filter] { m_viewModel->toggleTypeFilter(filter); });
    }
    FlowStack *states = chipRow();
    for (SettingStateFilter filter : SettingFilters::allStateFilters()) {
        const bool overriding = filter == SettingStateFilter::Overriding;
        auto *chip = new ChipButton(overriding ? QStringLiteral("bolt") : QStringLiteral("bolt.slash"),
            overriding ? QStringLiteral("Overriding") : QStringLiteral("Not-overriding"));
        chip->setObjectName(SettingFilters::rawValue(filter));
        states->addWidget(chip);
        m_chips.append(chip);
        connect(chip, &ChipButton::clicked, m_viewModel, [this, filter] { m_viewModel->toggleStateFilter(filter); });
    }

    m_search = new QLineEdit(bar);
    QWidget *searchRow = PanelParts::filterRow(m_search, L10n::textOrKey(QStringLiteral("Search setting")));
    searchRow->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(searchRow);
    return bar;
}

void SettingsListView::connectSignals()
{
    connect(m_search, &QLineEdit::textChanged, m_viewModel, &SettingsListViewModel::setTextFilter);
    connect(m_viewModel, &SettingsListViewModel::itemsChanged, this, &SettingsListView::refresh);
    connect(m_viewModel, &SettingsListViewModel::filtersChanged, this, &SettingsListView::refresh);
    connect(m_viewModel, &SettingsListViewModel::textFilterChanged, this, &SettingsListView::refresh);
    connect(m_viewModel, &SettingsListViewModel::canSendChanged, this, [this](bool canSend) {
        // An open field editor would stay typeable while the row is disabled.
        if (!canSend)
            m_list->reset();
        m_list->viewport()->update();
    });
    // A row's height follows its content (send button, note, tag).
    m_area->remeasureRowsOnChange(m_model);
}

void SettingsListView::refresh()
{
    const std::optional<SettingTypeFilter> type = m_viewModel->settingTypeFilter();
    const std::optional<SettingStateFilter> state = m_viewModel->settingStateFilter();
    const QList<SettingTypeFilter> &types = SettingFilters::allTypeFilters();
    const QList<SettingStateFilter> &states = SettingFilters::allStateFilters();
    for (qsizetype i = 0; i < types.size(); ++i)
        m_chips.at(i)->setSelected(type == types.at(i));
    for (qsizetype i = 0; i < states.size(); ++i)
        m_chips.at(types.size() + i)->setSelected(state == states.at(i));
    m_count->setText(m_viewModel->countText());
    m_empty->setText(m_viewModel->emptyText());
    m_area->showEmpty(m_viewModel->items().isEmpty());
}

void SettingsListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewModel->bind();
}
