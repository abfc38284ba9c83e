#include "ImpersonationListModel.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 kFavoritesHeader = -1;
constexpr qint64 kStoredHeader = -2;
// More separate runs of rows leaving or arriving than this: the result has little in common with
// the rows shown (a search), and one reset costs the views less than many small changes.
constexpr int kMaxChangeRuns = 32;

bool sameFields(const ImpersonateUserData &a, const ImpersonateUserData &b)
{
    return a.userToken == b.userToken && a.retailerToken == b.retailerToken && a.brandToken == b.brandToken
        && a.imageURL == b.imageURL && a.name == b.name && a.email == b.email && a.country == b.country
        && a.favorite == b.favorite && a.notes == b.notes && a.tags == b.tags;
}

// Marks the longest sequence of `oldRows` entries (old row numbers, -1 for a new row) that rises
// in old order: those rows can stay while everything else leaves or arrives.
std::vector<bool> longestRising(const std::vector<int> &oldRows)
{
    std::vector<int> tails;                                // indices into oldRows, by run length
    std::vector<int> previous(oldRows.size(), -1);
    for (int i = 0; i < int(oldRows.size()); ++i) {
        if (oldRows[i] < 0) {
            continue;
        }
        const auto at = std::lower_bound(tails.begin(), tails.end(), oldRows[i],
            [&oldRows](int tail, int value) { return oldRows[tail] < value; });
        if (at != tails.begin()) {
            previous[i] = *(at - 1);
        }
        if (at == tails.end()) {
            tails.push_back(i);
        } else {
            *at = i;
        }
    }
    std::vector<bool> kept(oldRows.size(), false);
    for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = previous[i]) {
        kept[i] = true;
    }
    return kept;
}

int runsOf(const std::vector<bool> &kept)
{
    int runs = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i] && (i == 0 || kept[i - 1])) {
            ++runs;
        }
    }
    return runs;
}

} // namespace

ImpersonationListModel::ImpersonationListModel(ImpersonateListViewModel &viewModel, QObject *parent)
    : QAbstractListModel(parent)
    , m_viewModel(viewModel)
{
    // Once per filter pass, after both lists are published, so the rows always pair up.
    connect(&m_viewModel, &ImpersonateListViewModel::listsChanged, this, &ImpersonationListModel::update);
    // Notes are stored as they are typed, without a re-filter. The row must follow: it paints
    // them, and a notes field opened again starts from them, so a stale copy would show old notes
    // and the next keystroke would store the old text over what was typed.
    connect(&m_viewModel, &ImpersonateListViewModel::userChanged, this, &ImpersonationListModel::follow);
    connect(&m_viewModel, &ImpersonateListViewModel::currentUserMayHaveChanged, this,
        &ImpersonationListModel::followCurrentUser);
    m_currentToken = m_viewModel.currentUserToken();
    m_rows = rowsOf(m_viewModel.favoriteUsers(), m_viewModel.displayUsers());
}

QList<ImpersonationListModel::Row> ImpersonationListModel::rowsOf(const QList<ImpersonateUserData> &favorites,
    const QList<ImpersonateUserData> &others)
{
    QList<Row> rows;
    rows.reserve(favorites.size() + others.size() + 2);
    for (const auto &[key, users] : {std::pair{kFavoritesHeader, &favorites}, std::pair{kStoredHeader, &others}}) {
        if (users->isEmpty()) {
            continue;
        }
        rows.append(Row{key, {}});
        for (const ImpersonateUserData &user : *users) {
            rows.append(Row{user.id, user});
        }
    }
    return rows;
}

void ImpersonationListModel::update()
{
    emit rowsUpdating();
    apply(rowsOf(m_viewModel.favoriteUsers(), m_viewModel.displayUsers()));
    emit rowsUpdated();
}

void ImpersonationListModel::apply(QList<Row> rows)
{
    if (m_rows.isEmpty()) {
        // Nothing to keep in place: the first load, or rows after a search that matched nothing.
        reset(std::move(rows));
        return;
    }
    QHash<qint64, int> oldRowOf;
    oldRowOf.reserve(m_rows.size());
    for (int row = 0; row < int(m_rows.size()); ++row) {
        oldRowOf.insert(m_rows.at(row).key, row);
    }
    std::vector<int> oldRows(rows.size(), -1);
    for (int row = 0; row < int(rows.size()); ++row) {
        oldRows[row] = oldRowOf.value(rows.at(row).key, -1);
    }
    const std::vector<bool> keptNew = longestRising(oldRows);
    std::vector<bool> keptOld(m_rows.size(), false);
    for (int row = 0; row < int(rows.size()); ++row) {
        if (keptNew[row]) {
            keptOld[oldRows[row]] = true;
        }
    }
    if (runsOf(keptOld) + runsOf(keptNew) > kMaxChangeRuns) {
        reset(std::move(rows));
        return;
    }

    // Leaving rows from the bottom up, so the row numbers above stay true.
    for (int last = int(m_rows.size()) - 1; last >= 0;) {
        if (keptOld[last]) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !keptOld[first - 1]) {
            --first;
        }
        beginRemoveRows({}, first, last);
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
    // What is left are the kept rows in the new order; arrivals go in from the top down.
    for (int first = 0; first < int(rows.size());) {
        if (keptNew[first]) {
            ++first;
            continue;
        }
        int last = first;
        while (last + 1 < int(rows.size()) && !keptNew[last + 1]) {
            ++last;
        }
        beginInsertRows({}, first, last);
        // The rows below move once per run, not once per arriving row.
        m_rows.insert(first, last - first + 1, Row{});
        std::copy(rows.cbegin() + first, rows.cbegin() + last + 1, m_rows.begin() + first);
        endInsertRows();
        first = last + 1;
    }
    for (int row = 0; row < int(rows.size()); ++row) {
        if (keptNew[row] && rows.at(row).key > 0 && !sameFields(m_rows.at(row).user, rows.at(row).user)) {
            m_rows[row] = rows.at(row);
            emit dataChanged(index(row), index(row));
        }
    }
}

void ImpersonationListModel::reset(QList<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ImpersonationListModel::followCurrentUser()
{
    std::optional<QString> token = m_viewModel.currentUserToken();
    if (token == m_currentToken) {
        return;
    }
    std::swap(token, m_currentToken);
    for (int row = 0; row < int(m_rows.size()); ++row) {
        const Row &entry = m_rows.at(row);
        if (entry.key > 0 && ((token && entry.user.userToken == *token)
                || (m_currentToken && entry.user.userToken == *m_currentToken))) {
            emit dataChanged(index(row), index(row));
        }
    }
}

void ImpersonationListModel::follow(const ImpersonateUserData &changed)
{
    for (int row = 0; row < int(m_rows.size()); ++row) {
        if (m_rows.at(row).key == changed.id) {
            m_rows[row].user = changed;
            emit dataChanged(index(row), index(row));
            return;
        }
    }
}

int ImpersonationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const ImpersonateUserData *ImpersonationListModel::recordAt(int row) const
{
    if (row < 0 || row >= int(m_rows.size()) || m_rows.at(row).key < 0) {
        return nullptr;
    }
    return &m_rows.at(row).user;
}

bool ImpersonationListModel::isCurrentUser(int row) const
{
    const ImpersonateUserData *user = recordAt(row);
    return user && m_currentToken && user->userToken == *m_currentToken;
}

std::optional<ImpersonateUserData> ImpersonationListModel::record(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return std::nullopt;
    }
    if (const ImpersonateUserData *user = recordAt(index.row())) {
        return *user;
    }
    return std::nullopt;
}

QModelIndex ImpersonationListModel::indexOfToken(const QString &userToken) const
{
    for (int row = 0; row < int(m_rows.size()); ++row) {
        if (m_rows.at(row).key > 0 && m_rows.at(row).user.userToken == userToken) {
            return index(row);
        }
    }
    return {};
}

QVariant ImpersonationListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const Row &row = m_rows.at(index.row());
    if (row.key < 0) {
        const bool favorites = row.key == kFavoritesHeader;
        switch (role) {
        case Qt::DisplayRole: return L10n::text(favorites ? "Favorites" : "Impersonation.storedUsers");
        case IsHeaderRole: return true;
        case SymbolRole: return favorites ? QStringLiteral("star.fill") : QStringLiteral("person.crop.circle");
        default: return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole: return row.user.name;
    case IsHeaderRole: return false;
    case RecordRole: return QVariant::fromValue(row.user);
    case UserTokenRole: return row.user.userToken;
    default: return {};
    }
}

Qt::ItemFlags ImpersonationListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return Qt::NoItemFlags;
    }
    if (m_rows.at(index.row()).key < 0) {
        return Qt::ItemIsEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
