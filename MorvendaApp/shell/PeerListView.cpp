#include "PeerListView.h"

#include "ConnectionEntryDelegate.h"

#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "ConnectionListModel.h"
#include "ConnectionSelection.h"
#include "ListSizing.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/core/L10n.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Qt's list view lays out every row again for each inserted row and for each change of a row's
// data, and closed connections stay listed: with thousands of them that was most of a
// handshake's cost. Rows appended at the end wait for the next paced layout instead, which comes
// at once after a quiet spell and otherwise at most every 50 ms (and never sooner than ten times
// its own cost), so the time layouts take stays bounded however many rows there are; until then
// the new rows are not shown, and the rows laid out keep their places. A change of data lays out
// nothing: the delegate has the view laid out again when a row's height changes.
class ConnectionListView : public QListView
{
public:
    explicit ConnectionListView(QWidget *parent)
        : QListView(parent)
    {
        m_pace.setSingleShot(true);
        connect(&m_pace, &QTimer::timeout, this, [this] { scheduleDelayedItemsLayout(); });
    }

    void doItemsLayout() override
    {
        m_pace.stop();
        QElapsedTimer cost;
        cost.start();
        QListView::doItemsLayout();
        m_lastCostMs = cost.elapsed();
        m_sinceLayout.start();
    }

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override
    {
        if (parent.isValid() || end != model()->rowCount() - 1 || !m_sinceLayout.isValid()) {
            QListView::rowsInserted(parent, start, end);
            return;
        }
        QAbstractItemView::rowsInserted(parent, start, end);
        if (!m_pace.isActive()) {
            const qint64 interval = std::max<qint64>(kMinimumIntervalMs, 10 * m_lastCostMs);
            m_pace.start(int(std::max<qint64>(0, interval - m_sinceLayout.elapsed())));
        }
    }

    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override
    {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    }

private:
    static constexpr qint64 kMinimumIntervalMs = 50;

    QTimer m_pace;
    QElapsedTimer m_sinceLayout;
    qint64 m_lastCostMs = 0;
};

// A right click only asks for a row's menu; the item view would otherwise select the row first,
// which makes that connection the timeline's source before "Delete connection" is even chosen.
class RightClickDoesNotSelect : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
                return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

PeerListView::PeerListView(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
    ConnectionSelection &selection, AvatarLoader &avatars, QWidget *parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_fileHolder(fileHolder)
    , m_avatars(avatars)
    , m_selection(selection)
    , m_model(new ConnectionListModel(listener, userManager, this))
{
    buildLayout();
    connectSignals();
    showSelectionInList();
}

void PeerListView::buildLayout()
{
    m_header = new QLabel(this);
    m_header->setTextFormat(Qt::PlainText);
    m_list = new ConnectionListView(this);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ConnectionEntryDelegate(m_avatars, m_list));
    // A picture that arrives changes the rows that show it.
    connect(&m_avatars, &AvatarLoader::finished, m_list->viewport(), [this] { m_list->viewport()->update(); });
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->installEventFilter(new RightClickDoesNotSelect(m_list));
    m_list->setUniformItemSizes(false);
    applyConnectListStyle(m_list);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(m_header);
    column->addWidget(m_list);
    m_header->setText(L10n::text(m_model->rowCount() > 0 ? "Connection.selectConnectionToDisplay"
                                                         : "Connection.noAvailableConnections"));
}

void PeerListView::connectSignals()
{
    connect(m_model, &ConnectionListModel::namesChanged, this, &PeerListView::connectionsChanged);
    // A replacement keeps the name but not the identity the selection holds.
    connect(m_model, &QAbstractItemModel::dataChanged, this, &PeerListView::showSelectionInList);
    connect(&m_selection, &ConnectionSelection::connectionIdChanged, this, &PeerListView::selectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &PeerListView::takeSelectionFromList);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_list->indexAt(position);
        if (!index.isValid()) {
            return;
        }
        QMenu *menu = makeContextMenu(index.row(), this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_list->viewport()->mapToGlobal(position));
    });
}

void PeerListView::connectionsChanged()
{
    m_header->setText(L10n::text(m_model->rowCount() > 0 ? "Connection.selectConnectionToDisplay"
                                                         : "Connection.noAvailableConnections"));
    showSelectionInList();
    // Acts only while the list is on screen, like the rest of the connect screen's handlers.
    if (!isVisible() || m_model->rowCount() != 1 || m_selection.connectionId()) {
        return;
    }
    m_selection.setConnectionId(m_model->connectionAt(0)->id());
}

void PeerListView::selectionChanged(const std::optional<QUuid> &id)
{
    showSelectionInList();
    if (!id) {
        return;
    }
    m_fileHolder.setOpenedFile(std::nullopt);
    const int row = m_model->rowOf(*id);
    if (row >= 0) {
        m_listener.select(m_model->connectionAt(row));
    }
}

void PeerListView::showSelectionInList()
{
    const auto &id = m_selection.connectionId();
    QItemSelectionModel *selection = m_list->selectionModel();
    // Most calls find the list showing it already: no search through the rows then.
    const QModelIndex current = selection->currentIndex();
    if (id ? current.isValid() && selection->isSelected(current) && current.data(ConnectionListModel::IdRole).toUuid() == *id
           : !selection->hasSelection()) {
        return;
    }
    m_syncingList = true;
    const int row = id ? m_model->rowOf(*id) : -1;
    if (row >= 0) {
        selection->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
    }
    m_syncingList = false;
}

void PeerListView::takeSelectionFromList()
{
    if (m_syncingList) {
        return;
    }
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::optional<QUuid> id;
    if (!rows.isEmpty()) {
        id = rows.first().data(ConnectionListModel::IdRole).toUuid();
    }
    if (id != m_selection.connectionId()) {
        m_selection.setConnectionId(id);
    }
}

QMenu *PeerListView::makeContextMenu(int row, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const auto connection = m_model->connectionAt(row);
    if (!connection) {
        return menu;
    }
    const QUuid id = connection->id();
    const QColor text = palette().color(QPalette::Text);
    QAction *print = menu->addAction(Symbols::icon(QStringLiteral("text.magnifyingglass"), text),
        L10n::text("Connection.printDetails"));
    connect(print, &QAction::triggered, this, [this, id] { printConnectionDetails(id); });
    QAction *remove = menu->addAction(Symbols::icon(QStringLiteral("trash"), namedColor(NamedColor::Red, palette())),
        L10n::text("Connection.delete"));
    connect(remove, &QAction::triggered, this, [this, id] { deleteConnection(id); });
    return menu;
}

void PeerListView::printConnectionDetails(const QUuid &id)
{
    const auto connection = m_model->connectionAt(m_model->rowOf(id));
    if (!connection) {
        return;
    }
    m_listener.log(QStringLiteral("Display name: ") + connection->displayName() + QStringLiteral("\nID: ")
        + connection->id().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral("\nConnection State: ")
        + connection->stateDescription());
}

void PeerListView::deleteConnection(const QUuid &id)
{
    m_listener.disconnect(id);
}
