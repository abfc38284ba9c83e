#include "ActiveApp.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MorvendaListener.h"

ActiveApp::ActiveApp(MorvendaListener &listener, QObject *parent)
    : QObject(parent)
    , m_listener(listener)
{
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this, [this] {
        follow();
        emit changed();
    });
    follow();
}

void ActiveApp::follow()
{
    disconnect(m_closed);
    if (const MorvendaListener::ConnectionPtr connection = m_listener.activeConnection())
        m_closed = connect(connection.get(), &MorvendaConnection::closed, this, &ActiveApp::changed);
}

bool ActiveApp::isReachable() const
{
    const MorvendaListener::ConnectionPtr connection = m_listener.activeConnection();
    return connection && connection->isOpen();
}

QString ActiveApp::disconnectedText() const
{
    const MorvendaListener::ConnectionPtr connection = m_listener.activeConnection();
    if (!connection || connection->isOpen())
        return {};
    return L10n::tr("Remote.appDisconnected", connection->displayName());
}
