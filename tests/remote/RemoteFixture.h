// A running tool for the remote-panel tests: the stores and a loopback listener, with a scripted
// app that has shaken hands and is the active connection.
#pragma once

#include "tests/support/LoopbackSession.h"

#include <QTest>

#include <memory>

struct RemoteFixture : LoopbackSession
{
    ScriptedPeer app;
    ScriptedPeer other;

    // Connects the scripted app as `name` and makes it the active connection.
    bool connectApp(const QString &name = QStringLiteral("Shop"))
    {
        if (!app.connectTo(listener.serverPort()))
            return false;
        app.handshake(name);
        if (!QTest::qWaitFor([&] { return !listener.connections().isEmpty(); }, 5000))
            return false;
        listener.select(listener.connections().constLast());
        // The server's hello.
        return QTest::qWaitFor([&] { return app.frames().size() == 1; }, 5000);
    }

    // Connects a second app as `name`, leaving the first one active.
    bool connectOther(const QString &name)
    {
        if (!other.connectTo(listener.serverPort()))
            return false;
        other.handshake(name);
        return QTest::qWaitFor([&] { return listener.connections().size() == 2; }, 5000);
    }

    // Frames the app received after the hello.
    QList<QByteArray> commands() { return app.frames().mid(1); }
};
