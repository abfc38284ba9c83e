// The connect screen's list of live connections: choosing a row makes that connection the
// listener's active one (and clears the chosen session file); while the list is on screen a
// connection that arrives alone is chosen automatically. Each row's context menu prints the
// connection's details to the console or deletes it. Owned by the connect screen; main thread.
#pragma once

#include <QUuid>
#include <QWidget>

#include <optional>

class ConnectionListModel;
class ConnectionSelection;
class FileHolder;
class MorvendaListener;
class QLabel;
class QListView;
class QMenu;
class UserManager;
class AvatarLoader;

class PeerListView : public QWidget
{
    Q_OBJECT

public:
    PeerListView(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
        ConnectionSelection &selection, AvatarLoader &avatars, QWidget *parent = nullptr);

    QLabel *header() const { return m_header; }
    QListView *listView() const { return m_list; }
    ConnectionListModel *model() const { return m_model; }

    // The row's context menu (print details, delete), owned by the caller.
    QMenu *makeContextMenu(int row, QWidget *parent);
    // By id, so a menu left open while the rows change still acts on its own connection.
    void printConnectionDetails(const QUuid &id);
    void deleteConnection(const QUuid &id);

private:
    void buildLayout();
    void connectSignals();
    void connectionsChanged();
    void selectionChanged(const std::optional<QUuid> &id);
    void showSelectionInList();
    void takeSelectionFromList();

    MorvendaListener &m_listener;
    FileHolder &m_fileHolder;
    AvatarLoader &m_avatars;
    ConnectionSelection &m_selection;
    ConnectionListModel *m_model = nullptr;
    QLabel *m_header = nullptr;
    QListView *m_list = nullptr;
    bool m_syncingList = false;
};
