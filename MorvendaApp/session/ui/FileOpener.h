// One "open session file" command: shows an open panel without blocking, then reads the chosen
// file into the repository (off the main thread, applied in one batch) and lists it in the file
// holder. Made fresh for every command; it deletes itself when done. Main thread.
#pragma once

#include "MorvendaApp/session/ui/AlertSink.h"

#include <QObject>
#include <QPointer>

#include <QFileDialog>
class QWidget;
class FileHolder;
class Logger;
class MessageRepository;

class FileOpener : public QObject
{
    Q_OBJECT

public:
    FileOpener(MessageRepository &repository, FileHolder &fileHolder, Logger &logger, AlertSink alertSink,
               QWidget *parentWindow = nullptr);
    ~FileOpener() override;

    // Shows the panel (one existing file, no directories) and returns at once.
    void open();

    QFileDialog *panel() const { return m_panel; }

signals:
    // After the panel was answered and any file loaded: true when the file's exchanges were added.
    void finished(bool loaded);

private:
    void load(const QString &path);

    MessageRepository &m_repository;
    FileHolder &m_fileHolder;
    Logger &m_logger;
    AlertSink m_alertSink;
    QPointer<QWidget> m_parentWindow;
    QPointer<QFileDialog> m_panel;
};
