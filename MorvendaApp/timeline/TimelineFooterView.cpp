#include "MorvendaApp/timeline/TimelineFooterView.h"

#include "MorvendaApp/core/L10n.h"


TimelineFooterView::TimelineFooterView(QWidget *parent)
    : SecondaryLabel(10, parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setCounts(0, 0, std::nullopt);
}

QString TimelineFooterView::format(qsizetype numberOfItems, qsizetype numberOfFilteredItems,
                                 std::optional<qsizetype> currentIndex)
{
    const qsizetype hidden = numberOfItems - numberOfFilteredItems;
    const auto number = [](qsizetype value) { return QString::number(value); };
    if (!currentIndex) {
        if (hidden <= 0)
            return L10n::tr("NOI.unfilteredUnselected", number(numberOfItems));
        return L10n::tr("NOI.filteredUnselectedItem", number(numberOfFilteredItems), number(hidden));
    }
    const QString position = number(*currentIndex + 1);
    if (hidden <= 0)
        return L10n::tr("NOI.unfilteredSelected", position, number(numberOfFilteredItems));
    return L10n::tr("NOI.filteredSelectedItem", position, number(numberOfFilteredItems), number(hidden));
}

void TimelineFooterView::setCounts(qsizetype numberOfItems, qsizetype numberOfFilteredItems,
                                   std::optional<qsizetype> currentIndex)
{
    setText(format(numberOfItems, numberOfFilteredItems, currentIndex));
}
