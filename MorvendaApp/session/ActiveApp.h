// Whether the panels that command the active app (settings, deeplinks, milestones, impersonation)
// can reach it. An app that disconnects stays the active one, so what it reported stays on show
// until another app is chosen or it connects again under its name; meanwhile every command to it
// could only fail, so the panels offer none and say why. Main thread only.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

class MorvendaListener;

class ActiveApp : public QObject
{
    Q_OBJECT

public:
    explicit ActiveApp(MorvendaListener &listener, QObject *parent = nullptr);

    // An app is active and its connection still open.
    bool isReachable() const;
    // What the panels show while the active app is gone: "<name> has disconnected"; empty while
    // it is reachable or no app is active.
    QString disconnectedText() const;

signals:
    // Another app became active, or the active one's connection closed.
    void changed();

private:
    void follow();

    MorvendaListener &m_listener;
    QMetaObject::Connection m_closed;
};
