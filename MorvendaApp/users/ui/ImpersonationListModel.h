// The impersonation window's list as rows: a "Favorites" header with the favourite users, then a
// "Stored Users" header with the others; a header only while its section has users. Adapts one
// ImpersonateListViewModel, which outlives it. Main thread.
#pragma once

#include "MorvendaApp/users/ImpersonateUserData.h"

#include <QAbstractListModel>

class ImpersonateListViewModel;

class ImpersonationListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IsHeaderRole = Qt::UserRole + 1, // bool
        RecordRole,                      // ImpersonateUserData (user rows)
        UserTokenRole,                   // QString (user rows)
        SymbolRole,                      // QString, the header's symbol name (header rows)
    };

    explicit ImpersonationListModel(ImpersonateListViewModel &viewModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The record of a user row; none for a header or an invalid index.
    std::optional<ImpersonateUserData> record(const QModelIndex &index) const;
    // The row showing the user with that token; invalid when it is not listed.
    QModelIndex indexOfToken(const QString &userToken) const;

private:
    struct Section
    {
        const QList<ImpersonateUserData> *users;
        const char *titleKey;
        const char *symbol;
    };
    // Which section and which user a row is; user -1 is the section's header.
    std::pair<int, int> locate(int row) const;
    QList<Section> visibleSections() const;
    void rebuild();
    // Takes a user's new values in place, without a reset.
    void follow(const ImpersonateUserData &changed);

    ImpersonateListViewModel &m_viewModel;
    // Copies of the published lists, so a row never outlives its data during a reset.
    QList<ImpersonateUserData> m_favorites;
    QList<ImpersonateUserData> m_others;
};
