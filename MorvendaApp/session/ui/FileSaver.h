// One "save current session" command: shows a save panel without blocking and writes the
// repository's current timeline to the chosen file on a worker thread. Made fresh for every
// command; it deletes itself once the panel is answered and the file written. Main thread.
#pragma once

#include "MorvendaApp/session/ui/AlertSink.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <QFileDialog>
class QWidget;
class Logger;
class MessageRepository;

class FileSaver : public QObject
{
    Q_OBJECT

public:
    // `parentWindow` makes the panel a sheet of that window; it may be null.
    FileSaver(MessageRepository &repository, Logger &logger, AlertSink alertSink, QWidget *parentWindow = nullptr);
    ~FileSaver() override;

    // Shows the panel with the proposed name "morvenda-session-<date>.json" and returns at once.
    void save();

    // The panel, while it is shown (tests drive it).
    QFileDialog *panel() const { return m_panel; }
    const QDateTime &date() const { return m_date; }

signals:
    // After the panel was answered: true when a file was written.
    void finished(bool saved);

private:
    void write(const QString &path);

    MessageRepository &m_repository;
    Logger &m_logger;
    AlertSink m_alertSink;
    QPointer<QWidget> m_parentWindow;
    QPointer<QFileDialog> m_panel;
    QDateTime m_date;
};
