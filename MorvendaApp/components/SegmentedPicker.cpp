#include "SegmentedPicker.h"

#include "ViewModifiers.h"

#include <QHBoxLayout>

SegmentedPicker::SegmentedPicker(int spacing, QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(spacing);
}

int SegmentedPicker::itemCount() const
{
    return int(m_items.size());
}

QWidget *SegmentedPicker::itemWidget(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items[index] : nullptr;
}

void SegmentedPicker::setItems(const QList<QWidget *> &items, std::function<void(int)> select)
{
    // The owner typically rebuilds from inside a click on an old item: delete them later.
    for (QWidget *old : std::as_const(m_items)) {
        m_layout->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    m_items = items;
    for (int i = 0; i < m_items.size(); ++i) {
        QWidget *item = m_items[i];
        m_layout->addWidget(item, 0, Qt::AlignVCenter);
        applyTappable(item, [select, i] { select(i); });
    }
}
