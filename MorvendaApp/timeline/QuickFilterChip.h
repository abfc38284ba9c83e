// One quick-filter chip of the filter bar: symbol and title on a rounded background tinted with
// the accent colour while it is the chosen filter. Main thread.
#pragma once

#include "MorvendaApp/timeline/FilterViewModel.h"

#include <QToolButton>

class QuickFilterChip : public QToolButton
{
    Q_OBJECT

public:
    explicit QuickFilterChip(QuickFilter filter, QWidget *parent = nullptr);

    QuickFilter filter() const { return m_filter; }
    bool isChosen() const { return m_chosen; }
    void setChosen(bool chosen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refreshIcon();

    QuickFilter m_filter;
    bool m_chosen = false;
};
