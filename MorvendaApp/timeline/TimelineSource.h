// Keeps the timeline to one source, a live connection or an opened session file, whichever way it
// is chosen. The connect screen's lists and the source menu switch it by their own operations; a
// file chosen any other way (opened again from disk while an app is shown) takes over from the
// active connection here. An exchange selected from the source that was left goes with it, so
// the details never show what the timeline no longer lists. Owned by the timeline column; the
// shared objects outlive it; main thread.
#pragma once

#include <QObject>

class FileHolder;
class MessageRepository;
class MessageSelection;
class MorvendaListener;

class TimelineSource : public QObject
{
    Q_OBJECT

public:
    TimelineSource(MorvendaListener &listener, FileHolder &fileHolder, MessageRepository &repository,
                   MessageSelection &selection, QObject *parent = nullptr);

private:
    // `peer` is the new source's name as the exchanges carry it: a display name or a file's URL.
    void dropSelectionOutside(const QString &peer);

    MorvendaListener &m_listener;
    FileHolder &m_fileHolder;
    MessageRepository &m_repository;
    MessageSelection &m_selection;
};
