#include "MilestoneListModel.h"

#include "MilestoneDateFormat.h"
#include "MilestoneListViewModel.h"

MilestoneListModel::MilestoneListModel(MilestoneListViewModel &viewModel, QObject *parent)
    : RecordListModel<Milestone>(parent)
{
    replace(viewModel.items());
    connect(&viewModel, &MilestoneListViewModel::itemsChanged, this,
        [this](const QList<Milestone> &items) { replace(items); });
}

QVariant MilestoneListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Milestone &milestone = recordAt(index.row());
    const auto date = [](std::optional<double> seconds) {
        return seconds ? MilestoneDateFormat::format(*seconds) : QString();
    };
    switch (role) {
    case Qt::DisplayRole:
        return milestone.key();
    case CountTextRole:
        return MilestoneListViewModel::countText(milestone);
    case CreatedTextRole:
        return date(milestone.createdAt());
    case UpdatedTextRole:
        return date(milestone.updatedAt());
    case DateCountRole:
        return int(milestone.createdAt().has_value()) + int(milestone.updatedAt().has_value());
    default:
        return {};
    }
}
