#include "MorvendaApp/timeline/TimelineListView.h"

#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineItemDelegate.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

TimelineListView::TimelineListView(TimelineViewModel &model, MessageSelection &selection, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_selection(selection)
    , m_delegate(new TimelineItemDelegate(this))
{
    setObjectName(QStringLiteral("timelineList"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    connectSignals();
    syncSelection();
    updateScrollRange();
}

void TimelineListView::connectSignals()
{
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] { m_followBottom = isAtBottom(); });
    // New and changed rows are laid out together, at most once per event-loop turn and at the
    // frame rate: a flood of changes must not measure the last page once per change.
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, [this] { m_layoutCall.schedule(); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] { m_layoutCall.schedule(); });
    // A rebuilt list (another source, another filter) holds other rows: the old top row number
    // means nothing in it. Show the selected row if it is among them, else open at the bottom.
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_layoutCall.cancel();
        updateScrollRange();
        const auto &id = m_selection.messageID();
        if (const auto row = id ? m_model.rowOf(*id) : std::nullopt)
            ensureVisible(*row);
        else
            scrollToBottom();
        viewport()->update();
    });
    connect(&m_model, &TimelineViewModel::rowsUpdated, this, &TimelineListView::syncSelection);
    connect(&m_selection, &MessageSelection::messageIDChanged, this, &TimelineListView::syncSelection);
}

bool TimelineListView::isAtBottom() const
{
    const QScrollBar *bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void TimelineListView::scrollToTop()
{
    verticalScrollBar()->setValue(0);
}

void TimelineListView::scrollToBottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_followBottom = true;
}

void TimelineListView::scrollContentsBy(int, int)
{
    m_followBottom = isAtBottom();
    viewport()->update();
}

QStyleOptionViewItem TimelineListView::rowOption(int row, const QRect &rect) const
{
    QStyleOptionViewItem option;
    option.initFrom(viewport());
    option.widget = this;
    option.rect = rect;
    option.state = QStyle::State_Enabled;
    if (m_selectedRow == row)
        option.state |= QStyle::State_Selected;
    return option;
}

// Measuring needs the width only; a full style option per row (font, palette, locale copied from
// the widget) cost more than the measurement itself.
int TimelineListView::rowHeight(int row) const
{
    m_measureOption.widget = this;
    m_measureOption.rect = QRect(0, 0, viewport()->width(), 0);
    return m_delegate->sizeHint(m_measureOption, m_model.index(row)).height();
}

// A replaced row may have grown or shrunk; only the last page decides the range.
void TimelineListView::layOutRows()
{
    updateScrollRange();
    if (m_followBottom)
        scrollToBottom();
    viewport()->update();
}

int TimelineListView::lastPageTop() const
{
    const int available = viewport()->height();
    int used = 0;
    int row = m_model.rowCount();
    while (row > 0) {
        used += rowHeight(row - 1);
        if (used > available)
            break;
        --row;
    }
    return std::min(row, std::max(0, m_model.rowCount() - 1));
}

void TimelineListView::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int count = m_model.rowCount();
    const int maximum = count == 0 ? 0 : lastPageTop();
    bar->setRange(0, maximum);
    bar->setPageStep(std::max(1, count - maximum));
}

std::optional<int> TimelineListView::rowAt(QPoint position) const
{
    int y = 0;
    for (int row = verticalScrollBar()->value(); row < m_model.rowCount() && y < viewport()->height(); ++row) {
        const int height = rowHeight(row);
        if (position.y() >= y && position.y() < y + height)
            return row;
        y += height;
    }
    return std::nullopt;
}

QRect TimelineListView::visualRect(int row) const
{
    int y = 0;
    for (int r = verticalScrollBar()->value(); r < m_model.rowCount() && y < viewport()->height(); ++r) {
        const int height = rowHeight(r);
        if (r == row)
            return QRect(0, y, viewport()->width(), height);
        y += height;
    }
    return {};
}

void TimelineListView::paintEvent(QPaintEvent *event)
{
    const qreal ratio = viewport()->devicePixelRatioF();
    m_delegate->reservePaintedRows(qint64(viewport()->width() * ratio) * qint64(viewport()->height() * ratio));
    QPainter painter(viewport());
    const int width = viewport()->width();
    int y = 0;
    for (int row = verticalScrollBar()->value(); row < m_model.rowCount() && y < viewport()->height(); ++row) {
        const int height = rowHeight(row);
        const QRect rect(0, y, width, height);
        if (rect.intersects(event->rect()))
            m_delegate->paint(&painter, rowOption(row, rect), m_model.index(row));
        y += height;
    }
}

void TimelineListView::resizeEvent(QResizeEvent *event)
{
    const bool atBottom = isAtBottom();
    QAbstractScrollArea::resizeEvent(event);
    // Texts wrap, so a new width means new row heights.
    updateScrollRange();
    if (atBottom)
        scrollToBottom();
}

void TimelineListView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (m_followBottom)
        m_scrollToBottomCall.schedule();
}

// The highlight mirrors the selected message ID; it never writes it back.
void TimelineListView::syncSelection()
{
    const auto &id = m_selection.messageID();
    const std::optional<int> row = id ? m_model.rowOf(*id) : std::nullopt;
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    viewport()->update();
}

void TimelineListView::mousePressEvent(QMouseEvent *event)
{
    m_pressedRow = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : std::nullopt;
    event->accept();
}

void TimelineListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is two taps: the second press toggles back on its release.
    mousePressEvent(event);
}

void TimelineListView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const auto released = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : std::nullopt;
    const auto pressed = std::exchange(m_pressedRow, std::nullopt);
    if (!released || released != pressed)
        return;
    const QUuid id = m_model.messageID(*released);
    if (m_selection.messageID() == id)
        m_selection.setMessageID(std::nullopt);
    else
        m_selection.setMessageID(id);
}

void TimelineListView::keyPressEvent(QKeyEvent *event)
{
    const int count = m_model.rowCount();
    if (count == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int page = std::max(1, verticalScrollBar()->pageStep());
    const int current = m_selectedRow.value_or(-1);
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Down: target = current < 0 ? 0 : current + 1; break;
    case Qt::Key_Up: target = current < 0 ? count - 1 : current - 1; break;
    case Qt::Key_PageDown: target = current + page; break;
    case Qt::Key_PageUp: target = current < 0 ? count - 1 : current - page; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count - 1; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    // Keyboard navigation is a user action: it moves the selected ID.
    target = std::clamp(target, 0, count - 1);
    event->accept();
    m_selection.setMessageID(m_model.messageID(target));
    ensureVisible(target);
}

void TimelineListView::ensureVisible(int row)
{
    QScrollBar *bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
        return;
    }
    // The smallest top row that still shows `row` whole.
    int top = row;
    int used = rowHeight(row);
    while (top > bar->value() && used + rowHeight(top - 1) <= viewport()->height()) {
        --top;
        used += rowHeight(top);
    }
    if (top > bar->value())
        bar->setValue(top);
}

bool TimelineListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const auto row = rowAt(help->pos());
        QString text;
        if (row) {
            const QRect rect = visualRect(*row);
            text = TimelineItemDelegate::helpAt(m_model.rowState(*row), help->pos() - rect.topLeft(), rect.width());
        }
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Help texts carry IDs and counts from apps: shown escaped, never as markup.
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped()
                                   + QStringLiteral("</p>"),
                               viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
