// The list of timeline rows. Scrolls by whole rows and measures only the rows it shows (and the
// last page, for the scroll range), so adding a row, replacing one or scrolling costs the same
// with ten rows or a million; Qt's item views lay out every row again on each insertion.
// Selection is by message ID: a click toggles it, the arrow keys move it, and after every model
// update the row of the selected ID is highlighted again if present. Opens at the bottom and
// follows new rows while it is there; a rebuilt list shows its selected row, or else its bottom.
// Main thread.
#pragma once

#include "MorvendaApp/core/CoalescedCall.h"

#include <QAbstractScrollArea>
#include <QStyleOptionViewItem>
#include <QUuid>

#include <optional>

class MessageSelection;
class TimelineItemDelegate;
class TimelineViewModel;

class TimelineListView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    TimelineListView(TimelineViewModel &model, MessageSelection &selection, QWidget *parent = nullptr);

    bool isAtBottom() const;
    void scrollToTop();
    void scrollToBottom();

    // The row under a viewport position, none past the last row.
    std::optional<int> rowAt(QPoint viewportPosition) const;
    // The row's rectangle in the viewport; empty when it is not in view.
    QRect visualRect(int row) const;
    // The highlighted row: the row of the selected message ID, none when it has no row.
    std::optional<int> selectedRow() const { return m_selectedRow; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void connectSignals();
    int rowHeight(int row) const;
    void layOutRows();
    // The first row of the last page: the largest top row that still fills the viewport.
    int lastPageTop() const;
    void updateScrollRange();
    void syncSelection();
    void ensureVisible(int row);
    QStyleOptionViewItem rowOption(int row, const QRect &rect) const;

    TimelineViewModel &m_model;
    MessageSelection &m_selection;
    TimelineItemDelegate *m_delegate = nullptr;
    std::optional<int> m_selectedRow;
    std::optional<int> m_pressedRow;
    bool m_followBottom = true;
    mutable QStyleOptionViewItem m_measureOption;
    // At most one layout per event-loop turn and about 60 a second.
    CoalescedCall m_layoutCall{this, [this] { layOutRows(); }, 16};
    CoalescedCall m_scrollToBottomCall{this, [this] {
        updateScrollRange();
        scrollToBottom();
    }};
};
