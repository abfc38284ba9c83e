#include "SettingsListModel.h"

#include "SettingsListViewModel.h"

SettingsListModel::SettingsListModel(SettingsListViewModel &viewModel, QObject *parent)
    : RecordListModel<Setting>(parent)
    , m_viewModel(viewModel)
{
    replace(viewModel.items());
    connect(&viewModel, &SettingsListViewModel::itemsChanged, this, [this](const QList<Setting> &items) { replace(items); });
    connect(&viewModel, &SettingsListViewModel::typedTextChanged, this, [this](const QString &key) {
        // The send button and the invalid-number note come and go with the typed text.
        for (int row = 0; row < rowCount(); ++row) {
            if (recordAt(row).key == key)
                refreshRow(row);
        }
    });
}

QVariant SettingsListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Setting &setting = recordAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return setting.name;
    case KeyRole:
        return setting.key;
    case EngineerRole:
        return setting.directlyResponsibleEngineerName;
    default:
        return {};
    }
}

Qt::ItemFlags SettingsListModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = RecordListModel<Setting>::flags(index);
    return index.isValid() ? base | Qt::ItemIsEditable : base;
}
