// The strip at the top of the timeline column: pause or resume recording, save the timeline,
// open a session file, clear, and the source menu (one live connection or one opened file),
// rebuilt each time it opens. Works directly on the shared objects; keeps no state of its own.
// Main thread.
#pragma once

#include "MorvendaApp/session/ui/AlertSink.h"

#include <QWidget>

class FileHolder;
class FileOpener;
class FileSaver;
class Logger;
class MessageRepository;
class MessageSelection;
class MorvendaListener;
class QMenu;
class QToolButton;
class SymbolButton;

class TimelineToolbar : public QWidget
{
    Q_OBJECT

public:
    TimelineToolbar(MorvendaListener &listener, MessageRepository &repository, FileHolder &fileHolder,
                    Logger &logger, MessageSelection &selection, QWidget *parent = nullptr);

    void toggleRecording();
    // Show the save or open panel without blocking. The command object deletes itself once the
    // panel is answered; it is returned for tests.
    FileSaver *saveSession();
    FileOpener *openSession();
    void clearTimeline();

    SymbolButton *recordButton() const { return m_recordButton; }
    SymbolButton *saveButton() const { return m_saveButton; }
    SymbolButton *clearButton() const { return m_clearButton; }
    QToolButton *sourceButton() const { return m_sourceButton; }
    QMenu *sourceMenu() const { return m_sourceMenu; }
    // Fills the source menu as it would be shown now.
    void rebuildSourceMenu();

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void refresh();
    void refreshSource();
    // A failed save or open raises its alert through the listener, like every other alert.
    AlertSink alertSink();

    MorvendaListener &m_listener;
    MessageRepository &m_repository;
    FileHolder &m_fileHolder;
    Logger &m_logger;
    MessageSelection &m_selection;

    SymbolButton *m_recordButton = nullptr;
    SymbolButton *m_saveButton = nullptr;
    SymbolButton *m_openButton = nullptr;
    SymbolButton *m_clearButton = nullptr;
    QToolButton *m_sourceButton = nullptr;
    QMenu *m_sourceMenu = nullptr;
};
