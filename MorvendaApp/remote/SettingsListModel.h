// The settings panel's list: the view model's filtered settings, one row each. The delegate
// asks the view model for each row's state. Main thread only.
#pragma once

#include "RecordListModel.h"

#include "MorvendaModel/Setting.h"

class SettingsListViewModel;

class SettingsListModel : public RecordListModel<Setting>
{
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole + 1, EngineerRole };

    explicit SettingsListModel(SettingsListViewModel &viewModel, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Editable: the text rows open a field editor (typed text goes to the view model, not here).
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    SettingsListViewModel &viewModel() const { return m_viewModel; }

private:
    SettingsListViewModel &m_viewModel;
};
