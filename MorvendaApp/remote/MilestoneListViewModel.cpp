#include "MilestoneListViewModel.h"

#include "SearchText.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"

MilestoneListViewModel::MilestoneListViewModel(MorvendaListener &listener, MilestoneManager &milestoneManager,
    QObject *parent)
    : QObject(parent)
    , m_listener(listener)
    , m_milestoneManager(milestoneManager)
{
    // Another app chosen: show its milestones, not the last app's until it reports again.
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this, [this] {
        if (m_bound)
            updateItems();
    });
}

void MilestoneListViewModel::setTextFilter(const QString &text)
{
    m_textFilter = text;
    emit textFilterChanged(text);
    updateItems();
}

void MilestoneListViewModel::bind()
{
    if (!m_bound) {
        m_bound = true;
        connect(&m_milestoneManager, &MilestoneManager::hasUpdatedMilestones, this,
            &MilestoneListViewModel::updateItems);
    }
    updateItems();
}

QString MilestoneListViewModel::countText(const Milestone &milestone)
{
    return L10n::tr("Milestone.count", QString::number(milestone.count()));
}

void MilestoneListViewModel::updateItems()
{
    QList<Milestone> list;
    if (const MorvendaListener::ConnectionPtr connection = m_listener.activeConnection())
        list = m_milestoneManager.milestone().value(connection->displayName());
    if (!m_textFilter.isEmpty()) {
        const QString needle = SearchText::fold(m_textFilter);
        list.removeIf([&needle](const Milestone &milestone) { return !SearchText::contains(milestone.key(), needle); });
    }
    m_items = std::move(list);
    emit itemsChanged(m_items);
}
