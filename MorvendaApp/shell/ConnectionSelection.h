// The connect screen's chosen connection (`selectedConnection`): the id of the row chosen in the
// connection list, shared by that list and the file list so that either can set or clear it.
// Published: every assignment notifies, an equal value included. Owned by the connect screen;
// main thread.
#pragma once

#include <QObject>
#include <QUuid>

#include <optional>

class ConnectionSelection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    const std::optional<QUuid> &connectionId() const { return m_connectionId; }
    void setConnectionId(const std::optional<QUuid> &id)
    {
        m_connectionId = id;
        emit connectionIdChanged(m_connectionId);
    }

signals:
    void connectionIdChanged(const std::optional<QUuid> &id);

private:
    std::optional<QUuid> m_connectionId;
};
