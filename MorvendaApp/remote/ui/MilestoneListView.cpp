#include "MilestoneListView.h"

#include "MilestoneDelegate.h"
#include "PanelParts.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/MilestoneListModel.h"
#include "MorvendaApp/remote/MilestoneListViewModel.h"
#include "MorvendaApp/session/ActiveApp.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStyle>
#include <QVBoxLayout>

MilestoneListView::MilestoneListView(MorvendaListener &listener, MilestoneManager &milestoneManager, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(new MilestoneListViewModel(listener, milestoneManager, this))
    , m_model(new MilestoneListModel(*m_viewModel, this))
{
    buildLayout(listener);
    connect(m_filter, &QLineEdit::textChanged, m_viewModel, &MilestoneListViewModel::setTextFilter);
    connect(m_viewModel, &MilestoneListViewModel::itemsChanged, this, &MilestoneListView::refresh);
    // A row gains or loses a date line when the app reports it again.
    m_area->remeasureRowsOnChange(m_model);
    refresh();
}

void MilestoneListView::buildLayout(MorvendaListener &listener)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTopStrip::following(*new ActiveApp(listener, this), this));
    m_area = new PanelList(this);
    m_list = m_area->list();
    m_empty = m_area->emptyLabel();
    m_list->setModel(m_model);
    m_list->setItemDelegate(new MilestoneDelegate(m_list));
    m_empty->setText(L10n::text("Milestone.noData"));
    layout->addWidget(m_area, 1);
    layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, this));

    m_filter = new QLineEdit(this);
    QWidget *filterRow = PanelParts::filterRow(m_filter, L10n::text("Milestone.searchMilestone"));
    filterRow->setContentsMargins(11, 11, 11, 11);
    layout->addWidget(filterRow);
}

void MilestoneListView::refresh()
{
    m_area->showEmpty(m_viewModel->items().isEmpty());
}

void MilestoneListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewModel->bind();
}
