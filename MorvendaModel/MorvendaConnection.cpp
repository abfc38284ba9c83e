#include "MorvendaConnection.h"

#include <QCoreApplication>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <array>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr qsizetype readChunk = 64 * 1024;

} // namespace

MorvendaConnection::MorvendaConnection(QTcpSocket *socket, std::shared_ptr<FrameBudget> frameBudget, QObject *parent)
    : QObject(parent)
    , m_id(QUuid::createUuid())
    , m_displayName(m_id.toString(QUuid::WithoutBraces).toUpper())
    , m_socket(socket)
    , m_peerAddress(socket->peerAddress())
    , m_reader(MorvendaFramer::maxFrameLength, std::move(frameBudget))
{
    Q_ASSERT(socket);
    socket->setParent(this);
    socket->setReadBufferSize(readBufferSize);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    applyKeepAlive(socket->socketDescriptor());
}

MorvendaConnection::~MorvendaConnection()
{
    failPendingSends(QStringLiteral("Connection closed"));
    // Delete the socket while this object is still whole: its destructor may emit signals.
    if (m_socket) {
        m_socket->disconnect(this);
        delete m_socket.data();
    }
}

void MorvendaConnection::applyKeepAlive(qintptr descriptor)
{
    if (descriptor < 0) {
        return;
    }
    // KeepAliveOption alone leaves Linux's 2-hour idle time.
    const int fd = static_cast<int>(descriptor);
    const std::array<std::pair<int, int>, 3> options{{
        {TCP_KEEPIDLE, keepAliveIdleSeconds},
        {TCP_KEEPINTVL, keepAliveIntervalSeconds},
        {TCP_KEEPCNT, keepAliveProbeCount},
    }};
    for (const auto &[option, value] : options) {
        if (::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value) != 0) {
            qCWarning(lcMorvendaConnection, "Unable to set keepalive option %d: %s", option, strerror(errno));
        }
    }
}

QString MorvendaConnection::stateName(State state)
{
    switch (state) {
    case State::Setup:
        return QStringLiteral("setup");
    case State::Preparing:
        return QStringLiteral("preparing");
    case State::Ready:
        return QStringLiteral("ready");
    case State::Waiting:
        return QStringLiteral("waiting");
    case State::Failed:
        return QStringLiteral("failed");
    case State::Cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

QString MorvendaConnection::stateDescription() const
{
    const QString name = stateName(m_state);
    return m_stateDetail.isEmpty() ? name : name % u'(' % m_stateDetail % u')';
}

bool MorvendaConnection::isOpen() const
{
    return !m_closed && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

qintptr MorvendaConnection::socketDescriptor() const
{
    return m_socket ? m_socket->socketDescriptor() : -1;
}

qint64 MorvendaConnection::pendingOutputBytes() const
{
    return m_bytesQueued - m_bytesFlushed;
}

void MorvendaConnection::setState(State state, const QString &detail)
{
    m_state = state;
    m_stateDetail = detail;
    qCDebug(lcMorvendaConnection, "New connection state received: %s", qUtf8Printable(stateDescription()));
    emit stateChanged(state);
}

void MorvendaConnection::start()
{
    if (m_started || !m_socket) {
        return;
    }
    m_started = true;
    setState(State::Preparing);
    connect(m_socket, &QTcpSocket::readyRead, this, &MorvendaConnection::scheduleDrain);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &MorvendaConnection::handleBytesWritten);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &MorvendaConnection::handleSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &MorvendaConnection::handleDisconnected);
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        handleDisconnected();
        return;
    }
    setState(State::Ready);
    if (m_socket->bytesAvailable() > 0) {
        scheduleDrain();
    }
}

void MorvendaConnection::scheduleDrain()
{
    if (m_drainScheduled || m_closed) {
        return;
    }
    try {
        // Queued, so a burst of readyRead signals costs one pass and other sockets get their turn.
        QTimer::singleShot(0, this, &MorvendaConnection::drain);
        m_drainScheduled = true;
    } catch (const std::bad_alloc &) {
        // The next readyRead asks again.
        qCCritical(lcMorvendaConnection, "Out of memory while scheduling a read");
    }
}

void MorvendaConnection::drain()
{
    try {
        drainInput(readBudgetPerTurn);
    } catch (const std::bad_alloc &) {
        failOutOfMemory();
    }
}

// Bytes may have left the socket without reaching the frame reader, so the stream can no longer
// be trusted: the connection closes as failed. What it delivered before stays delivered.
void MorvendaConnection::failOutOfMemory()
{
    qCCritical(lcMorvendaConnection, "Out of memory while reading from an app; closing its connection");
    closeNow(State::Failed, QStringLiteral("Out of memory"), QStringLiteral("Out of memory"));
}

void MorvendaConnection::closeNow(State state, const QString &detail, const QString &sendFailure)
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    finishClose(state, detail, sendFailure);
}

void MorvendaConnection::drainInput(qsizetype budget)
{
    m_drainScheduled = false;
    if (!m_socket) {
        return;
    }
    std::array<char, readChunk> buffer;
    bool endOfStream = false;
    while (budget > 0 && m_socket && (!m_readingPaused || m_disconnecting)) {
        // The rest of a large body is read straight into it instead of through `buffer`, as much
        // as has arrived (the body grows with the data, not with its announced length).
        const std::uint64_t bodyToCome = m_reader.bodyBytesToCome();
        const bool direct = bodyToCome >= std::uint64_t(readChunk);
        const qsizetype wanted = direct
            ? static_cast<qsizetype>(std::min<std::uint64_t>(
                  bodyToCome, std::uint64_t(std::min<qint64>(budget, std::max<qint64>(readChunk, m_socket->bytesAvailable())))))
            : std::min<qsizetype>(buffer.size(), budget);
        MorvendaFrameReader::Step directStep;
        qint64 got = 0;
        if (direct) {
            directStep = m_reader.receiveBody(wanted, [this](char *into, qsizetype max) { return m_socket->read(into, max); });
            if (directStep.event == MorvendaFrameReader::Event::Oversize) {
                if (!handleStep(directStep)) {
                    return;
                }
                continue;  // the rest of it is skipped through `buffer`
            }
            got = directStep.consumed;
        } else {
            got = m_socket->read(buffer.data(), wanted);
        }
        if (got < 0 && m_socket->state() != QAbstractSocket::ConnectedState) {
            // An unbuffered socket learns of the peer's close from this read and emits nothing.
            endOfStream = true;
            break;
        }
        if (got <= 0) {
            break;
        }
        budget -= got;
        m_lastActivity = std::chrono::steady_clock::now();
        if (direct && !handleStep(directStep)) {
            return;
        }
        for (qsizetype pos = 0; !direct && pos < got;) {
            const auto step = m_reader.step(buffer.data() + pos, got - pos);
            pos += step.consumed;
            if (!handleStep(step)) {
                return;
            }
        }
        if (got < wanted) {
            break;  // the socket's buffer is empty
        }
    }
    if (!m_socket || m_closed) {
        return;
    }
    if (endOfStream) {
        if (!m_disconnecting) {
            handleDisconnected();
        }
        return;
    }
    if (m_readingPaused) {
        return; // setReadingPaused(false) drains again
    }
    if (m_socket->bytesAvailable() > 0) {
        scheduleDrain();
    } else if (budget == 0) {
        // Once its buffer is full, QTcpSocket stops reading from the kernel and starts again only
        // when a read finds the buffer empty. The budget ran out exactly as the buffer emptied,
        // so make that read now (it returns nothing) or the connection would stall for good.
        char probe = 0;
        const qint64 got = m_socket->read(&probe, 1);
        Q_ASSERT(got <= 0);
        Q_UNUSED(got);
    }
}

bool MorvendaConnection::handleStep(const MorvendaFrameReader::Step &step)
{
    QPointer<MorvendaConnection> self(this);
    switch (step.event) {
    case MorvendaFrameReader::Event::Frame:
        deliver(step.body);
        break;
    case MorvendaFrameReader::Event::Oversize:
        logSkippedFrame(step);
        try {
            emit oversizeFrameSkipped(step.length, step.limit);
        } catch (const std::bad_alloc &) {
            qCCritical(lcMorvendaConnection, "Out of memory while reporting a skipped frame");
        }
        break;
    case MorvendaFrameReader::Event::Skipped:
    case MorvendaFrameReader::Event::NeedMore:
        break;
    }
    // A handler may have cancelled this connection or released the last reference.
    return self && m_state != State::Cancelled;
}

void MorvendaConnection::deliver(const QByteArray &message)
{
    try {
        emit payloadReceived(message);
    } catch (const std::bad_alloc &) {
        // Costs this message only: the next one may well fit.
        qCCritical(lcMorvendaConnection, "Dropped a message of %lld bytes: out of memory while handling it",
                   static_cast<long long>(message.size()));
    }
}

void MorvendaConnection::logSkippedFrame(const MorvendaFrameReader::Step &step)
{
    const auto length = static_cast<unsigned long long>(step.length);
    const auto limit = static_cast<unsigned long long>(step.limit);
    switch (step.reason) {
    case MorvendaFrameReader::SkipReason::TooLong:
        qCCritical(lcMorvendaConnection, "Skipping a frame of %llu bytes (limit %llu bytes)", length, limit);
        break;
    case MorvendaFrameReader::SkipReason::OverBudget:
        qCCritical(lcMorvendaConnection,
                   "Skipping a frame of %llu bytes: partly received frames hold the memory set aside for them"
                   " (room for %llu bytes)",
                   length, limit);
        break;
    case MorvendaFrameReader::SkipReason::OutOfMemory:
        qCCritical(lcMorvendaConnection, "Skipping a frame of %llu bytes: out of memory after %llu bytes", length,
                   limit);
        break;
    }
}

void MorvendaConnection::send(const QByteArray &message, SendCompletion completion)
{
    if (!isOpen()) {
        complete(std::move(completion),
                 tl::unexpected(m_stateDetail.isEmpty() ? QStringLiteral("The connection is closed")
                                                        : QStringLiteral("The connection is closed: ") + m_stateDetail));
        return;
    }
    auto framed = MorvendaFramer::frame(message);
    if (!framed) {
        complete(std::move(completion), tl::unexpected(framed.error()));
        return;
    }
    if (pendingOutputBytes() + framed->size() > maxPendingOutput) {
        complete(std::move(completion),
                 tl::unexpected(QStringLiteral("The app is not reading: %1 bytes are still waiting to be sent")
                                    .arg(pendingOutputBytes())));
        return;
    }
    const qint64 bufferedBefore = m_socket->bytesToWrite();
    const qint64 written = m_socket->write(*framed);
    if (written != framed->size()) {
        // QTcpSocket buffers everything it accepts; a short write means the socket failed.
        complete(std::move(completion), tl::unexpected(m_socket->errorString()));
        return;
    }
    m_bytesQueued += written;
    m_pendingSends.push_back({m_bytesQueued, std::move(completion)});
    // An unbuffered socket hands what the kernel takes at once straight to it and reports only
    // the rest through bytesWritten.
    const qint64 immediate = written - (m_socket->bytesToWrite() - bufferedBefore);
    if (immediate > 0) {
        handleBytesWritten(immediate);
    }
}

void MorvendaConnection::handleBytesWritten(qint64 bytes)
{
    m_bytesFlushed += bytes;
    while (!m_pendingSends.empty() && m_pendingSends.front().endOffset <= m_bytesFlushed) {
        auto completion = std::move(m_pendingSends.front().completion);
        m_pendingSends.pop_front();
        complete(std::move(completion), {});
    }
}

void MorvendaConnection::handleSocketError(QAbstractSocket::SocketError error)
{
    if (m_closed || !m_socket) {
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        return;  // an orderly close; `disconnected` follows
    }
    const QString description = m_socket->errorString();
    m_stateDetail = description;
    emit errorOccurred(description);
}

void MorvendaConnection::handleDisconnected()
{
    if (m_closed) {
        return;
    }
    // Whatever the peer sent before closing is still delivered.
    QPointer<MorvendaConnection> self(this);
    m_disconnecting = true;
    try {
        drainInput(std::numeric_limits<qsizetype>::max());
    } catch (const std::bad_alloc &) {
        if (self) {
            failOutOfMemory();
        }
        return;
    }
    if (!self) {
        return;
    }
    if (m_closed) {
        return;
    }
    m_closed = true;
    QString detail = m_stateDetail;
    if (detail.isEmpty() && m_socket) {
        const QAbstractSocket::SocketError error = m_socket->error();
        detail = error == QAbstractSocket::UnknownSocketError ? QStringLiteral("Connection closed") : m_socket->errorString();
        // An unbuffered socket meets errors such as a reset inside a read and emits no signal.
        if (error != QAbstractSocket::UnknownSocketError && error != QAbstractSocket::RemoteHostClosedError) {
            try {
                emit errorOccurred(detail);
            } catch (const std::bad_alloc &) {
                qCCritical(lcMorvendaConnection, "Out of memory while reporting a connection error");
            }
            if (!self) {
                return;
            }
        }
    }
    if (!m_reader.atFrameBoundary()) {
        qCDebug(lcMorvendaConnection, "Connection closed inside a frame; %lld buffered bytes dropped",
                static_cast<long long>(m_reader.bufferedBytes()));
    }
    finishClose(State::Failed, detail, detail);
}

// A closed connection stays listed for the rest of the run, showing its name, state and address:
// it keeps no socket, buffer or half-read body.
void MorvendaConnection::finishClose(State state, const QString &detail, const QString &sendFailure)
{
    failPendingSends(sendFailure);
    m_reader.reset();
    if (m_socket) {
        // Not deleted here: this may run inside one of the socket's own signals.
        m_socket->disconnect(this);
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    setState(state, detail);
    try {
        emit closed();
    } catch (const std::bad_alloc &) {
        qCCritical(lcMorvendaConnection, "Out of memory while reporting that a connection closed");
    }
}

void MorvendaConnection::setReadingPaused(bool paused)
{
    if (paused == m_readingPaused) {
        return;
    }
    m_readingPaused = paused;
    if (!paused) {
        scheduleDrain();
    }
}

void MorvendaConnection::cancel()
{
    closeNow(State::Cancelled, QString(), QStringLiteral("Connection cancelled"));
}

// However many sends wait (an app that never read its answers may leave 100,000), they fail in
// one posted step, in send order, rather than one event each queued ahead of every other app.
void MorvendaConnection::failPendingSends(const QString &reason)
{
    if (m_pendingSends.empty()) {
        return;
    }
    auto failAll = [pending = std::exchange(m_pendingSends, {}), reason] {
        const SendResult failure = tl::unexpected(reason);
        for (const auto &send : pending) {
            if (send.completion) {
                send.completion(failure);
            }
        }
    };
    if (auto *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, std::move(failAll), Qt::QueuedConnection);
    } else {
        failAll();
    }
}

void MorvendaConnection::complete(SendCompletion completion, SendResult result)
{
    if (!completion) {
        return;
    }
    // Never from inside `send` or a socket signal: the caller may hold locks on its own state or
    // release this connection in the completion. The application object outlives every sender.
    auto *app = QCoreApplication::instance();
    if (!app) {
        completion(result);
        return;
    }
    QMetaObject::invokeMethod(
        app, [completion = std::move(completion), result = std::move(result)] { completion(result); },
        Qt::QueuedConnection);
}
