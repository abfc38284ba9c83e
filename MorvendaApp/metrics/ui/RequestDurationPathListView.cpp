#include "RequestDurationPathListView.h"

#include <QScrollBar>

#include <utility>

RequestDurationPathListView::RequestDurationPathListView(QWidget *parent)
    : QListView(parent)
{
    // Pixels, so the view can move by exactly what arrived above the rows in view.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void RequestDurationPathListView::setModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = this->model())
        disconnect(old, nullptr, this, nullptr);
    QListView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, &RequestDurationPathListView::holdAnchor);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &RequestDurationPathListView::holdAnchor);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &RequestDurationPathListView::holdAnchor);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, &RequestDurationPathListView::holdAnchor);
}

void RequestDurationPathListView::holdAnchor()
{
    // One anchor per layout: the first change since the last one saw the rows as the user did.
    if (m_anchor)
        return;
    // At the top of the list and away from the pointer, new rows above may show; otherwise the
    // rows in view stay where they are.
    if (verticalScrollBar()->value() == 0 && !viewport()->underMouse())
        return;
    const QModelIndex top = indexAt(QPoint(1, 1));
    if (!top.isValid())
        return;
    m_anchor = Anchor{top, top.data().toString(), visualRect(top).top()};
}

void RequestDurationPathListView::doItemsLayout()
{
    QListView::doItemsLayout();
    restoreAnchor();
}

void RequestDurationPathListView::restoreAnchor()
{
    if (!m_anchor || !model())
        return;
    const Anchor anchor = *std::exchange(m_anchor, std::nullopt);
    QModelIndex index = anchor.index;
    // A reset forgets every index: the row is found again by its text.
    if (!index.isValid()) {
        const QModelIndexList found = model()->match(model()->index(0, 0, rootIndex()), Qt::DisplayRole, anchor.text, 1,
                                                     Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found.isEmpty())
            return;
        index = found.first();
    }
    const int moved = visualRect(index).top() - anchor.top;
    if (moved != 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + moved);
}
