// One connected app: wraps an accepted TCP socket, turns its byte stream into whole messages and
// sends whole framed messages. Knows nothing of JSON. Owned by the listener through shared
// pointers; lives and is used on the main thread only.
#pragma once

#include "MorvendaModel/MorvendaFrameReader.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QUuid>

#include <tl/expected.hpp>

#include <chrono>
#include <functional>
#include <memory>

class MorvendaConnection : public QObject
{
    Q_OBJECT
public:
    // The states an app connection shows (the connection list's badge).
    enum class State { Setup, Preparing, Ready, Waiting, Failed, Cancelled };
    Q_ENUM(State)

    using SendResult = tl::expected<void, QString>;
    // Runs exactly once per send, on the main thread, never from inside `send` itself.
    using SendCompletion = std::function<void(const SendResult &)>;

    // Bytes read from the socket per event-loop turn; the rest waits in the socket (bounded by
    // readBufferSize) so one busy peer cannot stall the loop and TCP flow control slows it down.
    static constexpr qsizetype readBudgetPerTurn = 256 * 1024;
    static constexpr qsizetype readBufferSize = 1024 * 1024;
    // Outbound bytes a peer may leave unread before further sends to it fail.
    static constexpr qint64 maxPendingOutput = 64ll * 1024 * 1024;
    // Keepalive: first probe after 4 s idle, then every 2 s; 5 unanswered probes (about 14 s in
    // all) close a connection whose app vanished without a FIN.
    static constexpr int keepAliveIdleSeconds = 4;
    static constexpr int keepAliveIntervalSeconds = 2;
    static constexpr int keepAliveProbeCount = 5;

    // Takes ownership of `socket`, which must be connected (an accepted socket). A buffered
    // socket keeps at most readBufferSize bytes of undispatched input. A truly unbuffered one
    // (only a socket Qt connected itself with QIODevice::Unbuffered; not an accepted socket
    // opened that way) is read straight from the kernel, which then holds the input. Partly
    // received frames are charged to `frameBudget`, shared with the server's other connections.
    explicit MorvendaConnection(QTcpSocket *socket, std::shared_ptr<FrameBudget> frameBudget = {},
                                QObject *parent = nullptr);
    // Pending sends complete with failure.
    ~MorvendaConnection() override;

    QUuid id() const { return m_id; }
    // Starts as the upper-case text of `id`; the listener replaces it with the app's name.
    QString displayName() const { return m_displayName; }
    void setDisplayName(const QString &name) { m_displayName = name; }

    State state() const { return m_state; }
    // "ready", "failed(Connection reset by peer)", … for the connection list and logs.
    QString stateDescription() const;
    static QString stateName(State state);
    // True until the socket has closed or the connection was cancelled.
    bool isOpen() const;
    // The app's address, kept after the socket closes.
    const QHostAddress &peerAddress() const { return m_peerAddress; }
    // When bytes last arrived (or the connection was made): how long it has been idle.
    std::chrono::steady_clock::time_point lastActivity() const { return m_lastActivity; }

    // Starts reading; messages arrive through `payloadReceived`.
    void start();
    // Sends `message` as one framed unit. A closed connection, a message too long for a frame or
    // a peer that stopped reading completes with failure.
    void send(const QByteArray &message, SendCompletion completion = {});
    // Closes the connection at once; pending sends fail.
    void cancel();
    // While paused no more input is read (a chunk already read is still delivered): the socket's
    // buffer fills, and TCP flow control then slows the app down; nothing is dropped. What the
    // app sent before closing is delivered whole even while paused.
    void setReadingPaused(bool paused);
    bool isReadingPaused() const { return m_readingPaused; }

    // The accepted socket's descriptor, or -1 once closed (for socket-option checks).
    qintptr socketDescriptor() const;
    // Outbound bytes not yet handed to the operating system.
    qint64 pendingOutputBytes() const;
    // Bytes of an unfinished inbound frame held right now (none once closed).
    qsizetype bufferedInputBytes() const { return m_reader.bufferedBytes(); }

signals:
    void stateChanged(MorvendaConnection::State state);
    void payloadReceived(const QByteArray &message);
    // A frame of `length` bytes is given up because it is over the cap or no memory is left for
    // it (`limit`: the most it could have held); its body is skipped and reading goes on.
    void oversizeFrameSkipped(quint64 length, quint64 limit);
    // A socket error other than an orderly close by the peer.
    void errorOccurred(const QString &description);
    // The socket has closed (by the peer, an error or `cancel`); emitted once.
    void closed();

private:
    struct PendingSend {
        qint64 endOffset;  // cumulative outbound byte count at which this message is flushed
        SendCompletion completion;
    };

    void setState(State state, const QString &detail = {});
    void scheduleDrain();
    void drain();
    void drainInput(qsizetype budget);
    // False when the connection was cancelled or released meanwhile: stop reading.
    bool handleStep(const MorvendaFrameReader::Step &step);
    void deliver(const QByteArray &message);
    static void logSkippedFrame(const MorvendaFrameReader::Step &step);
    void handleBytesWritten(qint64 bytes);
    void handleSocketError(QAbstractSocket::SocketError error);
    void handleDisconnected();
    void failOutOfMemory();
    // Closes the socket at once, without reading what is left in it, and finishes the close.
    void closeNow(State state, const QString &detail, const QString &sendFailure);
    // The end of every close: pending sends fail with `sendFailure`, the socket and buffers go,
    // the state becomes `state` and `closed` is emitted.
    void finishClose(State state, const QString &detail, const QString &sendFailure);
    void failPendingSends(const QString &reason);
    static void complete(SendCompletion completion, SendResult result);
    static void applyKeepAlive(qintptr descriptor);

    QUuid m_id;
    QString m_displayName;
    QPointer<QTcpSocket> m_socket;
    QHostAddress m_peerAddress;
    std::chrono::steady_clock::time_point m_lastActivity = std::chrono::steady_clock::now();
    MorvendaFrameReader m_reader;
    State m_state = State::Setup;
    QString m_stateDetail;
    bool m_started = false;
    bool m_closed = false;
    bool m_drainScheduled = false;
    bool m_disconnecting = false;
    bool m_readingPaused = false;
    qint64 m_bytesQueued = 0;
    qint64 m_bytesFlushed = 0;
    // A list, not a deque: an empty one holds no memory, and most connections send little.
    QList<PendingSend> m_pendingSends;
};
