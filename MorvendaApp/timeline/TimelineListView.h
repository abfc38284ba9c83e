// The list of timeline rows. A flat tree view, so rows of different heights are measured only
// when they come into view, however many there are. Selection is by message ID: a click toggles
// it, the arrow keys move it, and after every model update the row of the selected ID is
// selected again if present. Opens at the bottom and follows new rows while it is there.
// Main thread.
#pragma once

#include <QTreeView>
#include <QUuid>

class MessageSelection;
class TimelineItemDelegate;
class TimelineViewModel;

class TimelineListView : public QTreeView
{
    Q_OBJECT

public:
    TimelineListView(TimelineViewModel &model, MessageSelection &selection, QWidget *parent = nullptr);

    bool isAtBottom() const;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void connectSignals();
    void syncSelection();
    void scheduleScrollToBottom();

    TimelineViewModel &m_model;
    MessageSelection &m_selection;
    TimelineItemDelegate *m_delegate = nullptr;
    QPersistentModelIndex m_pressed;
    bool m_syncing = false;
    bool m_followBottom = true;
    bool m_scrollScheduled = false;
    int m_laidOutWidth = -1;
};
