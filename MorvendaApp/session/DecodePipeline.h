// Decodes the apps' messages on worker threads and hands them back on the main thread in the
// order each connection sent them, together with what else happened to the connection in between
// (a skipped oversize frame, an error, the close), so nothing overtakes anything of its own
// connection.
// Connections are independent of each other. Each connection may have a bounded number of
// messages waiting (being decoded or waiting their turn), and so may all of them together; beyond
// either its reading pauses until they are applied, so a fast app is slowed down by TCP, never
// dropped. Over the shared bound only the connections holding at least their share pause, so the
// busy ones cannot keep a quiet one from being read. The main thread applies
// at most a time budget's worth per event-loop turn, so the window keeps painting under a flood.
// The worker never preempts the main thread, and the main thread decodes itself when it would
// otherwise wait: on a busy machine the work falls back to it instead of waiting for a worker that
// gets no processor. It takes only messages no worker has started (a message is never decoded
// twice) and only small ones: a large frame would freeze the window for longer than a frame.
// Apps take turns, one message each, in the worker and in the main thread's help alike, so an app
// that sends costly frames cannot keep a quiet one waiting behind all of them; while a worker is
// inside a large frame, a second one serves the other apps.
// Owned by the listener; main thread (a worker touches only the messages it claimed, and the
// lanes under their lock).
#pragma once

#include "MorvendaModel/DecodeError.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/MorvendaConnection.h"
#include "MorvendaModel/Payload.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <tl/expected.hpp>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class DecodePipeline : public QObject
{
    Q_OBJECT
public:
    using ConnectionPtr = std::shared_ptr<MorvendaConnection>;
    using Decoded = tl::expected<Payload, DecodeError>;

    // Messages waiting at most, and their bytes at most (a message already read is still
    // taken), per connection and over all connections. A connection over its own bound stops
    // reading until both of its counts are down to half. Over the shared bound, connections
    // holding at least their share (the bound divided among the connections with something
    // waiting) stop reading until they are down to half their share or the total to half the
    // bound.
    struct Limits
    {
        qsizetype connectionMessages = 1024;
        qsizetype connectionBytes = 16 * 1024 * 1024;
        qsizetype totalMessages = 4096;
        qsizetype totalBytes = 64 * 1024 * 1024;
    };
    // Main-thread time spent applying per event-loop turn.
    static constexpr qint64 applyBudgetNs = 3'000'000;
    // A connection's messages go to a worker as one bunch once it holds this many messages or
    // bytes, and at the latest on the next event-loop turn.
    static constexpr size_t bunchMessages = 64;
    static constexpr qsizetype bunchBytes = 256 * 1024;
    // Decoding is about a third of what a payload costs the main thread; one worker decodes
    // faster than the main thread applies, and every further thread only competes with the main
    // thread for the processor on a busy machine. So a second worker runs only while the other is
    // inside a large frame (over helpMaxBytes), which may take seconds, and serves the other apps.
    static constexpr int workerCount = 2;
    // The main thread decodes a message itself only once its bunch has waited this long for the
    // worker: until then it reads and applies, which only it can do.
    static constexpr qint64 helpAfterNs = 2'000'000;
    // Nor a message longer than this: decoding one takes a few milliseconds at most (the densest
    // shapes of values), a larger one would cost the window frames. Larger ones wait for the
    // worker, however long it takes.
    static constexpr qsizetype helpMaxBytes = 256 * 1024;

    // Called on the main thread with each message and its decoding, in each connection's order.
    // The messages still waiting for a connection that was cancelled are dropped (the app was
    // disconnected); notices always run.
    using MessageHandler = std::function<void(const ConnectionPtr &connection, const QByteArray &message, Decoded decoded)>;

    // A handler that runs out of memory (std::bad_alloc) costs its message only: it is logged
    // and dropped.
    explicit DecodePipeline(MessageHandler handler, QObject *parent = nullptr);
    DecodePipeline(MessageHandler handler, Limits limits, QObject *parent = nullptr);
    // Waits for the workers; what is still waiting is dropped.
    ~DecodePipeline() override;

    void addMessage(const ConnectionPtr &connection, const QByteArray &message);
    // Runs `notice` on the main thread once everything `connection` added before it has been
    // handled: at once when nothing is waiting.
    void addNotice(const ConnectionPtr &connection, std::function<void()> notice);

    // Messages and notices not yet applied, over every connection.
    qsizetype waitingCount() const;
    // Connections with something waiting; a connection is held only while it has.
    qsizetype connectionCount() const { return qsizetype(m_queues.size()); }
    // Bytes of the messages waiting, over every connection.
    qsizetype waitingBytes() const { return m_totalBytes; }

private:
    // Consecutive messages of one connection. Once submitted, nothing is added; each message is
    // claimed by one thread (a worker, or the main thread helping), which writes its result and
    // then marks it ready; only then does the main thread read it.
    struct Bunch
    {
        const MorvendaConnection *owner = nullptr;
        std::vector<QByteArray> messages;
        std::vector<std::optional<Decoded>> results;
        std::unique_ptr<std::atomic<bool>[]> ready;
        std::atomic<size_t> claimed{0};
        size_t applied = 0;
        qsizetype bytes = 0;
        bool submitted = false;
        qint64 submittedAt = 0;
    };
    // A bunch of messages, or a notice.
    struct Item
    {
        std::shared_ptr<Bunch> bunch;
        std::function<void()> notice;
    };
    struct Queue
    {
        ConnectionPtr connection;
        std::deque<Item> items;
        qsizetype messages = 0;
        qsizetype bytes = 0;
    };

    // A connection's submitted bunches whose messages no thread has claimed yet, as the workers
    // see them.
    struct Lane
    {
        const MorvendaConnection *owner = nullptr;
        std::deque<std::shared_ptr<Bunch>> bunches;
        bool busy = false;    // a worker is decoding one of its messages
        bool waiting = false; // in m_turns
    };
    // A message a worker claimed, and where it came from.
    struct Claim
    {
        std::shared_ptr<Bunch> bunch;
        size_t index = 0;
        Lane *lane = nullptr;
        bool large = false;
    };

    void submit(const std::shared_ptr<Bunch> &bunch);
    void submitOpenBunches();
    // A worker's loop: one message of the next app in turn at a time, until there is none or
    // the worker is one too many.
    void runWorker();
    // With m_lanesLock held: the next message of the next app in turn that no worker is busy with.
    std::optional<Claim> claimNext();
    // With m_lanesLock held: the lane takes its turn again when it has more, or goes.
    void endTurn(Lane &lane);
    // With m_lanesLock held: starts a worker when there is work and room for one more.
    void startWorkerIfWanted();
    // The same on the main thread, for a message of at most helpMaxBytes only: false when the
    // next unclaimed one is larger (it stays for the worker) or there is none.
    bool decodeNextSmall(Bunch &bunch);
    void decodeClaimed(Bunch &bunch, size_t i, Decoder &decoder);
    // From any thread: one apply pass is queued however many ask before it runs.
    void wake();
    void applyReady();
    // Applies the front of `id`'s queue when it is ready; false when there was nothing to apply.
    bool applyNext(const MorvendaConnection *id);
    // Decodes one small message of a bunch that has waited helpAfterNs or longer for the worker,
    // one no worker has started; false when there is none.
    bool help();
    bool overdue(const Bunch &bunch) const { return m_clock.nsecsElapsed() - bunch.submittedAt >= helpAfterNs; }
    void updateReading(Queue &queue);

    MessageHandler m_handler;
    Limits m_limits;
    qsizetype m_totalMessages = 0;
    qsizetype m_totalBytes = 0;
    // Keyed by the connection, which its queue keeps alive (cheaper to compare than its id).
    std::map<const MorvendaConnection *, Queue> m_queues;
    std::vector<std::shared_ptr<Bunch>> m_openBunches;
    // The workers' side. Lanes by connection, and those with something to claim in the order of
    // their next turn; the workers running and how many of them are inside a large frame.
    std::mutex m_lanesLock;
    std::map<const MorvendaConnection *, Lane> m_lanes;
    std::deque<Lane *> m_turns;
    int m_running = 0;
    int m_inLarge = 0;
    bool m_stopping = false;
    bool m_submitScheduled = false;
    std::atomic<bool> m_wakePending{false};
    // No apply pass is queued or running: a worker that finishes a message must ask for one.
    std::atomic<bool> m_idle{true};
    Decoder m_decoder;
    QElapsedTimer m_clock;
    // Runs an apply pass when the oldest waiting bunch becomes overdue.
    QTimer m_helpTimer;
    // Which connection goes first in the next pass, so none waits behind the others every turn.
    size_t m_firstQueue = 0;
    // The connection the main thread helped last; the next help starts after it.
    const MorvendaConnection *m_lastHelped = nullptr;
    QThreadPool m_workers;
};
