// The session objects of a running tool, built in the application's order, with the server on the
// loopback only and never advertised: the fixture of the server, connect-screen, timeline, user and
// remote-panel tests. A test that needs a fixed port sets MORVENDA_PORT around the construction.
#pragma once

#include "tests/support/ScriptedPeer.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"

#include <QTest>

struct LoopbackSession
{
    explicit LoopbackSession(ConnectionLimits limits = {})
        : listener({users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false, limits})
    {
    }

    // Connects `peer`, shakes hands as `name` and waits until the server lists it; null on failure.
    MorvendaListener::ConnectionPtr connectApp(ScriptedPeer &peer, const QString &name)
    {
        const qsizetype before = listener.connections().size();
        if (!peer.connectTo(listener.serverPort())) {
            return nullptr;
        }
        peer.handshake(name);
        if (!QTest::qWaitFor([&] { return listener.connections().size() > before; }, 5000)) {
            return nullptr;
        }
        return listener.connections().constLast();
    }

    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener;
};
