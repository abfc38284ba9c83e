#include "MetricsViewModel.h"

MetricsViewModel::MetricsViewModel(QObject *parent)
    : QObject(parent)
{
}

void MetricsViewModel::setSelectedGraph(GraphType graph)
{
    m_selectedGraph = graph;
    emit selectedGraphChanged(graph);
}
