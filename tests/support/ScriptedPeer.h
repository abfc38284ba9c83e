// A scripted app for the server, shell and application tests: a loopback QTcpSocket that writes
// frames and collects the frames it receives. Main thread; everything asynchronous is awaited
// with QTRY_* by the caller.
#pragma once

#include "MorvendaModel/MorvendaFrameReader.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

class ScriptedPeer
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(5000);
    }
    void send(const QByteArray &json) { m_socket.write(*MorvendaFramer::frame(json)); }
    void sendRaw(const QByteArray &bytes) { m_socket.write(bytes); }
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
    // Frames received so far (reads what has arrived).
    const QList<QByteArray> &frames()
    {
        const QByteArray bytes = m_socket.readAll();
        m_raw += bytes;
        qsizetype pos = 0;
        while (pos < bytes.size()) {
            auto step = m_reader.step(bytes.constData() + pos, bytes.size() - pos);
            pos += step.consumed;
            if (step.event == MorvendaFrameReader::Event::Frame) {
                m_frames.append(step.body);
            }
            if (step.consumed == 0) {
                break;
            }
        }
        return m_frames;
    }
    // Every byte received so far, unparsed.
    const QByteArray &raw()
    {
        frames();
        return m_raw;
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
    MorvendaFrameReader m_reader;
    QList<QByteArray> m_frames;
    QByteArray m_raw;
};
