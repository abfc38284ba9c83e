#include "MorvendaApp/timeline/TimelineListView.h"

#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineItemDelegate.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

TimelineListView::TimelineListView(TimelineViewModel &model, MessageSelection &selection, QWidget *parent)
    : QTreeView(parent)
    , m_model(model)
    , m_selection(selection)
    , m_delegate(new TimelineItemDelegate(this))
{
    setObjectName(QStringLiteral("timelineList"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Per item: only the rows in view (and the last page) are ever measured.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setItemDelegate(m_delegate);
    setModel(&m_model);
    connectSignals();
}

void TimelineListView::connectSignals()
{
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] { m_followBottom = isAtBottom(); });
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_followBottom = isAtBottom(); });
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followBottom)
            scheduleScrollToBottom();
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_followBottom)
            scheduleScrollToBottom();
    });
    connect(&m_model, &TimelineViewModel::rowsUpdated, this, &TimelineListView::syncSelection);
    connect(&m_selection, &MessageSelection::messageIDChanged, this, &TimelineListView::syncSelection);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_scrollScheduled)
            m_followBottom = isAtBottom();
    });
}

bool TimelineListView::isAtBottom() const
{
    const QScrollBar *bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void TimelineListView::scheduleScrollToBottom()
{
    if (m_scrollScheduled)
        return;
    m_scrollScheduled = true;
    QMetaObject::invokeMethod(this, [this] {
        m_scrollScheduled = false;
        scrollToBottom();
        m_followBottom = true;
    }, Qt::QueuedConnection);
}

// The selection model mirrors the selected message ID; it never writes it back.
void TimelineListView::syncSelection()
{
    m_syncing = true;
    const auto &id = m_selection.messageID();
    const auto row = id ? m_model.rowOf(*id) : std::nullopt;
    if (row) {
        const QModelIndex index = m_model.index(*row);
        if (selectionModel()->currentIndex() != index || !selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else if (selectionModel()->hasSelection() || selectionModel()->currentIndex().isValid()) {
        selectionModel()->clear();
    }
    m_syncing = false;
}

QItemSelectionModel::SelectionFlags TimelineListView::selectionCommand(const QModelIndex &index,
                                                                       const QEvent *event) const
{
    // Clicks toggle through the selected ID (mouseReleaseEvent); the view must not select on its own.
    if (event && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease
                  || event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonDblClick))
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void TimelineListView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    event->accept();
    setFocus(Qt::MouseFocusReason);
}

void TimelineListView::mouseMoveEvent(QMouseEvent *event)
{
    // No drag selection; hover help still works through the viewport's tool-tip events.
    event->accept();
}

void TimelineListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is two taps: the second press toggles back on its release.
    mousePressEvent(event);
}

void TimelineListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QModelIndex released = indexAt(event->position().toPoint());
    event->accept();
    if (event->button() != Qt::LeftButton || !released.isValid() || released != m_pressed)
        return;
    m_pressed = QModelIndex();
    const QUuid id = m_model.messageID(released.row());
    if (m_selection.messageID() == id)
        m_selection.setMessageID(std::nullopt);
    else
        m_selection.setMessageID(id);
}

void TimelineListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    // Keyboard navigation is a user action: it moves the selected ID.
    if (m_syncing || !current.isValid())
        return;
    const QUuid id = m_model.messageID(current.row());
    if (m_selection.messageID() != id)
        m_selection.setMessageID(id);
}

void TimelineListView::resizeEvent(QResizeEvent *event)
{
    const bool atBottom = isAtBottom();
    QTreeView::resizeEvent(event);
    // Texts wrap, so a new width means new row heights.
    if (viewport()->width() != m_laidOutWidth) {
        m_laidOutWidth = viewport()->width();
        scheduleDelayedItemsLayout();
    }
    if (atBottom)
        scheduleScrollToBottom();
}

void TimelineListView::showEvent(QShowEvent *event)
{
    QTreeView::showEvent(event);
    if (m_followBottom)
        scheduleScrollToBottom();
}
