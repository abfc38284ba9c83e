// The connect screen's list of session files opened in this run. Choosing a row makes that file
// the timeline's source (FileHolder::openedFile) and, while the list is on screen, clears the
// active connection and the chosen connection row. Invisible while no file was opened. Owned by
// the connect screen; main thread.
#pragma once

#include <QWidget>

#include <optional>

class ConnectionSelection;
class FileHolder;
class MorvendaListener;
class QLabel;
class QListWidget;

class FileListView : public QWidget
{
    Q_OBJECT

public:
    FileListView(FileHolder &fileHolder, MorvendaListener &listener, ConnectionSelection &selection,
        QWidget *parent = nullptr);

    QListWidget *listWidget() const { return m_list; }

private:
    void buildLayout();
    void connectSignals();
    void rebuildRows();
    void refreshMarks();
    void openedFileChanged(const std::optional<QString> &file);
    void takeSelectionFromList();

    FileHolder &m_fileHolder;
    MorvendaListener &m_listener;
    ConnectionSelection &m_selection;
    QLabel *m_header = nullptr;
    QListWidget *m_list = nullptr;
    bool m_syncingList = false;
};
