// A layout that places its widgets left to right and wraps them onto as many rows as the width
// needs, like words in a paragraph, and is exactly as tall as its rows (height-for-width).
// Widths are taken from each item's size hint, cached until the layout is invalidated.
// Main thread only.
#pragma once

#include <QLayout>
#include <QList>

// The row-breaking rule over item widths: returns, per row, the indices of its items. With x
// starting at 0, an item goes on the current row unless x + width + spacing exceeds `available`
// (strictly) and the row already holds an item; then it starts a new row with x = width. The first
// row thereby counts a spacing per item while later rows start without one; an item wider than
// `available` gets a row of its own, and no row is ever empty.
QList<QList<int>> flowRows(const QList<int> &widths, int available, int spacing);

class FlowStack : public QLayout
{
    Q_OBJECT

public:
    explicit FlowStack(QWidget *parent = nullptr, Qt::Alignment alignment = Qt::AlignLeft, int horizontalSpacing = 4,
        int verticalSpacing = 4);
    ~FlowStack() override;

    int horizontalSpacing() const { return m_horizontalSpacing; }
    int verticalSpacing() const { return m_verticalSpacing; }
    // Sets both spacings.
    void setSpacing(int spacing) override;
    int spacing() const override { return m_horizontalSpacing; }

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;
    void invalidate() override;

private:
    struct Measured
    {
        QList<int> widths;
        QList<int> heights;
    };

    const Measured &measured() const;
    // Lays the rows out in `rect` when `apply`; returns the height they take.
    int doLayout(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
    mutable Measured m_measured;
    mutable bool m_measuredValid = false;
    mutable int m_cachedWidth = -1;
    mutable int m_cachedHeight = 0;
};
