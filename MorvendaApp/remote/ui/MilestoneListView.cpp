#include "MilestoneListView.h"

#include "MilestoneDelegate.h"
#include "PanelParts.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/MilestoneListModel.h"
#include "MorvendaApp/remote/MilestoneListViewModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QVBoxLayout>

MilestoneListView::MilestoneListView(MorvendaListener &listener, MilestoneManager &milestoneManager, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(new MilestoneListViewModel(listener, milestoneManager, this))
    , m_model(new MilestoneListModel(*m_viewModel, this))
{
    buildLayout();
    connect(m_filter, &QLineEdit::textChanged, m_viewModel, &MilestoneListViewModel::setTextFilter);
    connect(m_viewModel, &MilestoneListViewModel::itemsChanged, this, &MilestoneListView::refresh);
    refresh();
}

void MilestoneListView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, PanelParts::kTopInset, 0, 0);
    m_stack = new QStackedWidget(this);
    m_list = new QListView(m_stack);
    PanelParts::styleList(m_list);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new MilestoneDelegate(m_list));
    m_empty = new QLabel(L10n::text("Milestone.noData"), m_stack);
    m_empty->setTextFormat(Qt::PlainText);
    m_empty->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_empty->setContentsMargins(12, 8, 12, 8);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_empty);
    layout->addWidget(m_stack, 1);

    m_filter = new QLineEdit(this);
    QWidget *filterRow = PanelParts::filterRow(m_filter, L10n::text("Milestone.searchMilestone"));
    filterRow->setContentsMargins(11, 11, 11, 11);
    layout->addWidget(filterRow);
}

void MilestoneListView::refresh()
{
    m_stack->setCurrentWidget(m_viewModel->items().isEmpty() ? static_cast<QWidget *>(m_empty) : m_list);
}

void MilestoneListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewModel->bind();
}
