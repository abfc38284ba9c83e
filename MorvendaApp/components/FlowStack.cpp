#include "FlowStack.h"

#include <QWidget>

#include <algorithm>

QList<QList<int>> flowRows(const QList<int> &widths, int available, int spacing)
{
    QList<QList<int>> rows;
    QList<int> current;
    qint64 x = 0;
    for (int i = 0; i < widths.size(); ++i) {
        const qint64 w = widths[i];
        if (x + (w + spacing) > available && !current.isEmpty()) {
            rows.append(current);
            current = {i};
            x = w;
        } else {
            current.append(i);
            x += w + spacing;
        }
    }
    if (!current.isEmpty())
        rows.append(current);
    return rows;
}

FlowStack::FlowStack(QWidget *parent, Qt::Alignment alignment, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent)
    , m_horizontalSpacing(horizontalSpacing)
    , m_verticalSpacing(verticalSpacing)
{
    setAlignment(alignment);
    setContentsMargins(0, 0, 0, 0);
}

FlowStack::~FlowStack()
{
    qDeleteAll(m_items);
}

void FlowStack::setSpacing(int spacing)
{
    m_horizontalSpacing = spacing;
    m_verticalSpacing = spacing;
    invalidate();
}

void FlowStack::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

int FlowStack::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowStack::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items[index] : nullptr;
}

QLayoutItem *FlowStack::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations FlowStack::expandingDirections() const
{
    return {};
}

bool FlowStack::hasHeightForWidth() const
{
    return true;
}

int FlowStack::heightForWidth(int width) const
{
    // Parent layouts may ask for a cell's width although the widget cannot grow that wide: the
    // rows are broken at the width the widget will really get.
    if (const QWidget *owner = parentWidget())
        width = std::min(width, owner->maximumWidth());
    if (width != m_cachedWidth) {
        m_cachedHeight = doLayout(QRect(0, 0, width, 0), false);
        m_cachedWidth = width;
    }
    return m_cachedHeight;
}

QSize FlowStack::minimumSize() const
{
    // Any width works: a wide item gets a row of its own and overflows it.
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowStack::sizeHint() const
{
    // Preferred: everything on one row.
    const Measured &m = measured();
    qint64 width = 0;
    for (int w : m.widths)
        width += w + m_horizontalSpacing;
    const int height = m.heights.isEmpty() ? 0 : *std::max_element(m.heights.cbegin(), m.heights.cend());
    const QMargins margins = contentsMargins();
    return QSize(int(std::min<qint64>(width, QWIDGETSIZE_MAX)) + margins.left() + margins.right(),
        height + margins.top() + margins.bottom());
}

void FlowStack::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

void FlowStack::invalidate()
{
    m_measuredValid = false;
    m_cachedWidth = -1;
    QLayout::invalidate();
}

const FlowStack::Measured &FlowStack::measured() const
{
    if (!m_measuredValid) {
        m_measured.widths.clear();
        m_measured.heights.clear();
        m_measured.widths.reserve(m_items.size());
        m_measured.heights.reserve(m_items.size());
        for (QLayoutItem *item : m_items) {
            // Hidden widgets take no room and no spacing.
            const bool hidden = item->isEmpty();
            const QSize hint = hidden ? QSize() : item->sizeHint();
            m_measured.widths.append(hidden ? 0 : hint.width());
            m_measured.heights.append(hidden ? 0 : hint.height());
        }
        m_measuredValid = true;
    }
    return m_measured;
}

int FlowStack::doLayout(const QRect &rect, bool apply) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    const Measured &m = measured();

    QList<int> visible;
    QList<int> widths;
    visible.reserve(m.widths.size());
    widths.reserve(m.widths.size());
    for (int i = 0; i < m_items.size(); ++i) {
        if (!m_items[i]->isEmpty()) {
            visible.append(i);
            widths.append(m.widths[i]);
        }
    }

    const QList<QList<int>> rows = flowRows(widths, area.width(), m_horizontalSpacing);
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    int y = area.top();
    for (const QList<int> &row : rows) {
        int rowHeight = 0;
        qint64 rowWidth = -m_horizontalSpacing;
        for (int index : row) {
            rowHeight = std::max(rowHeight, m.heights[visible[index]]);
            rowWidth += widths[index] + m_horizontalSpacing;
        }
        if (apply) {
            qint64 x = area.left();
            if (horizontal & Qt::AlignRight)
                x += std::max<qint64>(0, area.width() - rowWidth);
            else if (horizontal & Qt::AlignHCenter)
                x += std::max<qint64>(0, (area.width() - rowWidth) / 2);
            for (int index : row) {
                const int item = visible[index];
                const int h = m.heights[item];
                m_items[item]->setGeometry(QRect(int(x), y + (rowHeight - h) / 2, widths[index], h));
                x += widths[index] + m_horizontalSpacing;
            }
        }
        y += rowHeight + m_verticalSpacing;
    }
    const int used = rows.isEmpty() ? 0 : y - m_verticalSpacing - area.top();
    return used + margins.top() + margins.bottom();
}
