// The milestone inspector's list: one row per milestone of the view model, its texts ready to
// paint. Main thread only.
#pragma once

#include "RecordListModel.h"

#include "MorvendaModel/Milestone.h"

class MilestoneListViewModel;

class MilestoneListModel : public RecordListModel<Milestone>
{
    Q_OBJECT

public:
    // Display: the key. The text roles hold the row's finished texts; a date role is empty
    // when the milestone has no such date. DateCountRole: how many of the two dates are set,
    // which is all a row's height needs of them (formatting a date costs far more).
    enum Role { CountTextRole = Qt::UserRole + 1, CreatedTextRole, UpdatedTextRole, DateCountRole };

    explicit MilestoneListModel(MilestoneListViewModel &viewModel, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};
