// The state of one milestone inspector: the active app's milestones narrowed by a text filter
// over their keys. One per panel view, which owns it; main thread only.
#pragma once

#include "MorvendaModel/Milestone.h"

#include <QList>
#include <QObject>
#include <QString>

class MilestoneManager;
class MorvendaListener;

class MilestoneListViewModel : public QObject
{
    Q_OBJECT

public:
    MilestoneListViewModel(MorvendaListener &listener, MilestoneManager &milestoneManager, QObject *parent = nullptr);

    const QString &textFilter() const { return m_textFilter; }
    void setTextFilter(const QString &text);
    // In stored order; duplicates of a key are all kept.
    const QList<Milestone> &items() const { return m_items; }

    // Called each time the panel is shown: re-reads the list and, the first time, starts
    // following the milestone messages.
    void bind();

    // "Count: …" with the count's digits, never grouped.
    static QString countText(const Milestone &milestone);

signals:
    void textFilterChanged(const QString &text);
    void itemsChanged(const QList<Milestone> &items);

private:
    void updateItems();

    MorvendaListener &m_listener;
    MilestoneManager &m_milestoneManager;
    QString m_textFilter;
    QList<Milestone> m_items;
    bool m_bound = false;
};
