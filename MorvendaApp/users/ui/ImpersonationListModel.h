// The impersonation window's list as rows: a "Favorites" header with the favourite users, then a
// "Stored Users" header with the others; a header only while its section has users. Adapts one
// ImpersonateListViewModel, which outlives it, and marks the user the active app is signed in as.
// A new filter result changes the rows in place (rows leave and arrive, the rest stay where they
// are, so the list keeps its place); only a result that shares little with the rows shown, or
// rows arriving into an empty list, reset the model. Main thread.
#pragma once

#include "MorvendaApp/users/ImpersonateUserData.h"

#include <QAbstractListModel>

#include <optional>

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
    // The record a user row shows, without a copy, for painting; null for a header or a row out of
    // range. Valid until the rows next change.
    const ImpersonateUserData *recordAt(int row) const;
    // True for the row of the user the active app reports being signed in as.
    bool isCurrentUser(int row) const;
    // The row showing the user with that token; invalid when it is not listed.
    QModelIndex indexOfToken(const QString &userToken) const;

signals:
    // The rows are about to follow a new filter result, and have followed it: changes of the
    // current index in between are the model's, not the developer's.
    void rowsUpdating();
    void rowsUpdated();

private:
    struct Row
    {
        // A user row's record identity; a header's is negative.
        qint64 key = 0;
        ImpersonateUserData user;
    };

    static QList<Row> rowsOf(const QList<ImpersonateUserData> &favorites, const QList<ImpersonateUserData> &others);
    void update();
    // Turns the rows into `rows` by removals and insertions around the longest run of rows that
    // stay in order, then refreshes the staying rows whose record changed.
    void apply(QList<Row> rows);
    void reset(QList<Row> rows);
    void followCurrentUser();
    // Takes a user's new values in place, without a reset.
    void follow(const ImpersonateUserData &changed);

    ImpersonateListViewModel &m_viewModel;
    QList<Row> m_rows;
    std::optional<QString> m_currentToken;
};
