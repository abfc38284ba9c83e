#include "MilestoneManager.h"

MilestoneManager::MilestoneManager(QObject *parent)
    : QObject(parent)
{
}

void MilestoneManager::storeMilestones(const QString &connectionName, QList<Milestone> milestones)
{
    m_milestone.insert(connectionName, std::move(milestones));
    emit hasUpdatedMilestones();
}
