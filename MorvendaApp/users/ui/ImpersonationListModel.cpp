#include "ImpersonationListModel.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"

ImpersonationListModel::ImpersonationListModel(ImpersonateListViewModel &viewModel, QObject *parent)
    : QAbstractListModel(parent)
    , m_viewModel(viewModel)
{
    // The view model publishes the favourites, then the others, on every re-filter; both lists
    // are read again at each so the rows always pair up.
    connect(&m_viewModel, &ImpersonateListViewModel::favoriteUsersChanged, this, &ImpersonationListModel::rebuild);
    connect(&m_viewModel, &ImpersonateListViewModel::displayUsersChanged, this, &ImpersonationListModel::rebuild);
    // Notes are stored as they are typed, without a re-filter. The row must follow: it paints
    // them, and a notes field opened again starts from them, so a stale copy would show old notes
    // and the next keystroke would store the old text over what was typed.
    connect(&m_viewModel, &ImpersonateListViewModel::userChanged, this, &ImpersonationListModel::follow);
    rebuild();
}

void ImpersonationListModel::follow(const ImpersonateUserData &changed)
{
    for (QList<ImpersonateUserData> *users : {&m_favorites, &m_others}) {
        for (ImpersonateUserData &user : *users) {
            if (user.id == changed.id) {
                user = changed;
                const QModelIndex row = indexOfToken(user.userToken);
                emit dataChanged(row, row);
                return;
            }
        }
    }
}

void ImpersonationListModel::rebuild()
{
    beginResetModel();
    m_favorites = m_viewModel.favoriteUsers();
    m_others = m_viewModel.displayUsers();
    endResetModel();
}

QList<ImpersonationListModel::Section> ImpersonationListModel::visibleSections() const
{
    QList<Section> sections;
    if (!m_favorites.isEmpty()) {
        sections.append(Section{&m_favorites, "Favorites", "star.fill"});
    }
    if (!m_others.isEmpty()) {
        sections.append(Section{&m_others, "Impersonation.storedUsers", "person.crop.circle"});
    }
    return sections;
}

int ImpersonationListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    int rows = 0;
    for (const Section &section : visibleSections()) {
        rows += 1 + int(section.users->size());
    }
    return rows;
}

std::pair<int, int> ImpersonationListModel::locate(int row) const
{
    const QList<Section> sections = visibleSections();
    for (int s = 0; s < sections.size(); ++s) {
        const int size = 1 + int(sections.at(s).users->size());
        if (row < size) {
            return {s, row - 1};
        }
        row -= size;
    }
    return {-1, -1};
}

std::optional<ImpersonateUserData> ImpersonationListModel::record(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return std::nullopt;
    }
    const auto [section, user] = locate(index.row());
    if (section < 0 || user < 0) {
        return std::nullopt;
    }
    return visibleSections().at(section).users->at(user);
}

QModelIndex ImpersonationListModel::indexOfToken(const QString &userToken) const
{
    int row = 0;
    for (const Section &section : visibleSections()) {
        ++row;
        for (const ImpersonateUserData &user : *section.users) {
            if (user.userToken == userToken) {
                return index(row);
            }
            ++row;
        }
    }
    return {};
}

QVariant ImpersonationListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const auto [section, user] = locate(index.row());
    if (section < 0) {
        return {};
    }
    // visibleSections() returns a temporary: keep it alive while `place` refers into it.
    const QList<Section> sections = visibleSections();
    const Section &place = sections.at(section);
    if (user < 0) {
        switch (role) {
        case Qt::DisplayRole: return L10n::text(place.titleKey);
        case IsHeaderRole: return true;
        case SymbolRole: return QString::fromLatin1(place.symbol);
        default: return {};
        }
    }
    const ImpersonateUserData &record = place.users->at(user);
    switch (role) {
    case Qt::DisplayRole: return record.name;
    case IsHeaderRole: return false;
    case RecordRole: return QVariant::fromValue(record);
    case UserTokenRole: return record.userToken;
    default: return {};
    }
}

Qt::ItemFlags ImpersonationListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return Qt::NoItemFlags;
    }
    if (index.data(IsHeaderRole).toBool()) {
        return Qt::ItemIsEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
