#include "MorvendaApp/timeline/TimelineSource.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/timeline/MessageSelection.h"

TimelineSource::TimelineSource(MorvendaListener &listener, FileHolder &fileHolder, MessageRepository &repository,
                               MessageSelection &selection, QObject *parent)
    : QObject(parent)
    , m_listener(listener)
    , m_fileHolder(fileHolder)
    , m_repository(repository)
    , m_selection(selection)
{
    // Only a new choice acts: losing a source (none) leaves the other one as it is.
    connect(&m_fileHolder, &FileHolder::openedFileChanged, this, [this](const std::optional<QString> &file) {
        if (!file)
            return;
        // Cleared silently, as the file list does: nothing was selected.
        if (m_listener.activeConnection())
            m_listener.setActiveConnection(nullptr);
        dropSelectionOutside(*file);
    });
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this,
            [this](const MorvendaListener::ConnectionPtr &connection) {
                if (!connection)
                    return;
                if (m_fileHolder.openedFile())
                    m_fileHolder.setOpenedFile(std::nullopt);
                dropSelectionOutside(connection->displayName());
            });
}

void TimelineSource::dropSelectionOutside(const QString &peer)
{
    const auto &id = m_selection.messageID();
    if (!id)
        return;
    // An ID the store no longer holds shows "No message selected" whatever the source: kept.
    const std::optional<Exchange> selected = m_repository.exchange(*id);
    if (selected && selected->peer() != peer)
        m_selection.setMessageID(std::nullopt);
}
