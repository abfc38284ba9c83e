// The line of counts under the timeline list: stored, shown and hidden exchanges and the
// selected row's position. Main thread.
#pragma once

#include "MorvendaApp/components/SecondaryLabel.h"

#include <optional>

class TimelineFooterView : public SecondaryLabel
{
    Q_OBJECT

public:
    explicit TimelineFooterView(QWidget *parent = nullptr);

    // `currentIndex` is 0-based; the text shows the position counted from 1.
    static QString format(qsizetype numberOfItems, qsizetype numberOfFilteredItems, std::optional<qsizetype> currentIndex);
    void setCounts(qsizetype numberOfItems, qsizetype numberOfFilteredItems, std::optional<qsizetype> currentIndex);
};
