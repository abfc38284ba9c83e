// The metrics pane's state: which chart it shows. One per pane, made with it, so a new pane starts
// on the request-duration chart. Published: every assignment notifies after storing. Main thread.
#pragma once

#include "GraphType.h"

#include <QObject>

class MetricsViewModel : public QObject
{
    Q_OBJECT

public:
    explicit MetricsViewModel(QObject *parent = nullptr);

    GraphType selectedGraph() const { return m_selectedGraph; }
    void setSelectedGraph(GraphType graph);

signals:
    void selectedGraphChanged(GraphType graph);

private:
    GraphType m_selectedGraph = GraphType::RequestDuration;
};
