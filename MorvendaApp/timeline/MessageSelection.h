// The main window's selected exchange (`selectedMessageID`), shared by the timeline column, the
// details and the toolbar's clear button. Published state: every assignment notifies, an equal
// value included. Owned by the main window; main thread only.
#pragma once

#include <QObject>
#include <QUuid>

#include <optional>

class MessageSelection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    const std::optional<QUuid> &messageID() const { return m_messageID; }
    void setMessageID(const std::optional<QUuid> &messageID)
    {
        m_messageID = messageID;
        emit messageIDChanged(m_messageID);
    }

signals:
    void messageIDChanged(const std::optional<QUuid> &messageID);

private:
    std::optional<QUuid> m_messageID;
};
