// Each connection's latest milestones, keyed by the connection's display name. One shared
// instance for the whole run; main thread only.
#pragma once

#include "MorvendaModel/Milestone.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class MilestoneManager : public QObject
{
    Q_OBJECT
public:
    explicit MilestoneManager(QObject *parent = nullptr);

    // Connection display name → the whole list that connection reported last. Never cleared.
    const QHash<QString, QList<Milestone>> &milestone() const { return m_milestone; }
    // Replaces the list stored under `connectionName` and fires hasUpdatedMilestones.
    void storeMilestones(const QString &connectionName, QList<Milestone> milestones);

signals:
    void hasUpdatedMilestones();

private:
    QHash<QString, QList<Milestone>> m_milestone;
};
