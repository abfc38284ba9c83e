// A running tool for the remote-panel tests: the stores and a loopback listener, with a scripted
// app that has shaken hands and is the active connection.
#pragma once

#include "tests/support/LoopbackSession.h"

#include <QTest>

struct RemoteFixture : LoopbackSession
{
    ScriptedPeer app;
    ScriptedPeer other;

    // Connects the scripted app as `name` and makes it the active connection.
    bool connectApp(const QString &name = QStringLiteral("Shop"))
    {
        const MorvendaListener::ConnectionPtr connection = LoopbackSession::connectApp(app, name);
        if (!connection)
            return false;
        listener.select(connection);
        // The server's hello.
        return QTest::qWaitFor([&] { return app.frames().size() == 1; }, 5000);
    }

    // Connects a second app as `name`, leaving the first one active.
    bool connectOther(const QString &name) { return LoopbackSession::connectApp(other, name) != nullptr; }

    // Frames the app received after the hello.
    QList<QByteArray> commands() { return app.frames().mid(1); }
};
