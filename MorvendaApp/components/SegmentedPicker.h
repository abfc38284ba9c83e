// A row of caller-drawn items; a click on an item writes that item into the caller's selection.
// The picker draws no highlight of its own: the item widgets show whether they are selected, and
// the owner rebuilds them (setData again) when its selection changes. Main thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QHBoxLayout;

class SegmentedPicker : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedPicker(int spacing, QWidget *parent = nullptr);

    // Replaces the items: one widget from `itemBuilder` per element of `data`, in order, left to
    // right with `spacing` between neighbours and centred vertically. A click on an item calls
    // `writeSelection` with a copy of its element, also when it is the selected one already.
    template<typename Data, typename ItemBuilder, typename WriteSelection>
    void setData(const Data &data, ItemBuilder itemBuilder, WriteSelection writeSelection)
    {
        using Element = typename Data::value_type;
        auto elements = std::make_shared<std::vector<Element>>(std::begin(data), std::end(data));
        QList<QWidget *> widgets;
        for (const Element &element : *elements)
            widgets.append(itemBuilder(element));
        setItems(widgets, [elements, writeSelection](int index) { writeSelection((*elements)[std::size_t(index)]); });
    }

    int itemCount() const;
    QWidget *itemWidget(int index) const;

private:
    void setItems(const QList<QWidget *> &items, std::function<void(int)> select);

    QHBoxLayout *m_layout = nullptr;
    QList<QWidget *> m_items;
};
