// A scripted app for the shell and main-scene tests: a loopback socket that writes frames.
// Everything asynchronous is awaited by the caller with QTRY_*. Main thread.
#pragma once

#include "MorvendaModel/MorvendaFramer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

class TestPeer
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(5000);
    }
    void send(const QByteArray &json) { m_socket.write(*MorvendaFramer::frame(json)); }
    void handshake(const QString &name)
    {
        send(QByteArrayLiteral(R"({"handshake":")") + name.toUtf8() + QByteArrayLiteral(R"("})"));
    }
    void user(const QString &name, const QString &token)
    {
        send(QByteArrayLiteral(R"({"user":{"name":")") + name.toUtf8() + QByteArrayLiteral(R"(","token":")")
            + token.toUtf8()
            + QByteArrayLiteral(R"(","capabilities":[],"isImpersonating":false,"isSubuser":false,"isAdmin":true,"tags":["admin","active"]}})"));
    }
    void request(const QString &id, const QString &url)
    {
        send(QByteArrayLiteral(R"({"request":{"id":")") + id.toUtf8() + QByteArrayLiteral(R"(","url":")")
            + url.toUtf8() + QByteArrayLiteral(R"(","method":"get","headers":[]}})"));
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket &socket() { return m_socket; }

    // A port that was free a moment ago, for the server's fixed-port switch (MORVENDA_PORT).
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    QTcpSocket m_socket;
};
