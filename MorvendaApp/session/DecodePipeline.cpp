#include "MorvendaApp/session/DecodePipeline.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdlib>
#include <new>

#include <sched.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcMorvendaListener)

namespace {

// Messages of one connection applied in a row before the next connection gets its turn.
constexpr int kMessagesPerConnectionPerPass = 64;

// Empty when memory ran out around the decoding (the decoder reports it inside the parse
// itself): the message is then dropped.
std::optional<DecodePipeline::Decoded> decodeGuarded(Decoder &decoder, const QByteArray &message)
{
    try {
        return decoder.decodePayload(message);
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

// What a worker decodes is mostly kept (the stored bodies), so its heap keeps growing. glibc
// grows a thread's own heap only as far as each allocation needs, with one mprotect call each
// time: about one system call per stored message, a quarter of the worker's time. Taking room
// for several messages at once and handing it straight back (it stays usable) grows the heap in
// one call instead. Kept below glibc's smallest threshold for a separate mapping.
constexpr qsizetype kHeadroom = 120 * 1024;

void keepHeapHeadroom()
{
    void *volatile block = std::malloc(size_t(kHeadroom));
    std::free(block);
}

} // namespace

DecodePipeline::DecodePipeline(MessageHandler handler, QObject *parent)
    : DecodePipeline(std::move(handler), Limits{}, parent)
{
}

DecodePipeline::DecodePipeline(MessageHandler handler, Limits limits, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_limits(limits)
    , m_decoder(Decoder::make())
{
    m_workers.setMaxThreadCount(workerCount);
    m_clock.start();
    m_helpTimer.setSingleShot(true);
    m_helpTimer.setTimerType(Qt::PreciseTimer);
    m_helpTimer.setInterval(int(helpAfterNs / 1'000'000));
    connect(&m_helpTimer, &QTimer::timeout, this, &DecodePipeline::wake);
}

DecodePipeline::~DecodePipeline()
{
    {
        const std::lock_guard lock(m_lanesLock);
        m_stopping = true;
        m_turns.clear();
        m_lanes.clear();
    }
    m_workers.clear();
    m_workers.waitForDone();
}

void DecodePipeline::addMessage(const ConnectionPtr &connection, const QByteArray &message)
{
    const auto [found, added] = m_queues.try_emplace(connection.get());
    Queue &queue = found->second;
    if (added)
        queue.connection = connection;
    std::shared_ptr<Bunch> bunch;
    try {
        if (!queue.items.empty() && queue.items.back().bunch && !queue.items.back().bunch->submitted) {
            bunch = queue.items.back().bunch;
        } else {
            bunch = std::make_shared<Bunch>();
            bunch->owner = connection.get();
            m_openBunches.reserve(m_openBunches.size() + 1);
            queue.items.push_back(Item{bunch, {}});
            m_openBunches.push_back(bunch);
            if (!std::exchange(m_submitScheduled, true))
                QMetaObject::invokeMethod(this, &DecodePipeline::submitOpenBunches, Qt::QueuedConnection);
        }
        bunch->messages.push_back(message);
    } catch (const std::bad_alloc &) {
        // The caller drops this message; no empty queue or bunch is left behind for the appliers.
        if (!queue.items.empty() && queue.items.back().bunch && queue.items.back().bunch->messages.empty())
            queue.items.pop_back();
        if (queue.items.empty())
            m_queues.erase(found);
        throw;
    }
    bunch->bytes += message.size();
    ++queue.messages;
    queue.bytes += message.size();
    ++m_totalMessages;
    m_totalBytes += message.size();
    // Full bunches go at once, so the workers decode while the main thread reads on.
    if (bunch->messages.size() >= bunchMessages || bunch->bytes >= bunchBytes)
        submit(bunch);
    updateReading(queue);
}

void DecodePipeline::addNotice(const ConnectionPtr &connection, std::function<void()> notice)
{
    const auto found = m_queues.find(connection.get());
    if (found == m_queues.end()) {
        notice();
        return;
    }
    found->second.items.push_back(Item{nullptr, std::move(notice)});
    wake();
}

void DecodePipeline::submitOpenBunches()
{
    m_submitScheduled = false;
    for (const std::shared_ptr<Bunch> &bunch : std::exchange(m_openBunches, {}))
        submit(bunch);
}

void DecodePipeline::submit(const std::shared_ptr<Bunch> &bunch)
{
    if (bunch->submitted || bunch->messages.empty())
        return;
    bunch->submitted = true;
    bunch->submittedAt = m_clock.nsecsElapsed();
    // Should the worker get no processor, nothing else would run a pass for the main thread to
    // take over.
    if (!m_helpTimer.isActive())
        m_helpTimer.start();
    const size_t count = bunch->messages.size();
    bunch->results.resize(count);
    bunch->ready = std::make_unique<std::atomic<bool>[]>(count);
    const std::lock_guard lock(m_lanesLock);
    Lane &lane = m_lanes[bunch->owner];
    lane.owner = bunch->owner;
    lane.bunches.push_back(bunch);
    if (!lane.busy && !lane.waiting) {
        // An app that had nothing waiting goes next: the others had their turns meanwhile. One
        // served goes to the back again, so an app that keeps sending waits its turn like any.
        lane.waiting = true;
        m_turns.push_front(&lane);
    }
    startWorkerIfWanted();
}

void DecodePipeline::startWorkerIfWanted()
{
    const int wanted = std::min(workerCount, 1 + m_inLarge);
    if (m_stopping || m_turns.empty() || m_running >= wanted)
        return;
    ++m_running;
    // A start that fails (out of memory) must not leave a worker counted that never runs: no
    // other would ever start, and large frames, which the main thread never helps with, would wait.
    try {
        m_workers.start([this] { runWorker(); });
    } catch (...) {
        --m_running;
        throw;
    }
}

std::optional<DecodePipeline::Claim> DecodePipeline::claimNext()
{
    while (!m_turns.empty()) {
        Lane &lane = *m_turns.front();
        m_turns.pop_front();
        lane.waiting = false;
        while (!lane.bunches.empty()) {
            std::shared_ptr<Bunch> bunch = lane.bunches.front();
            const size_t i = bunch->claimed.fetch_add(1);
            if (i + 1 >= bunch->messages.size())
                lane.bunches.pop_front();
            if (i < bunch->messages.size()) {
                lane.busy = true;
                const bool large = bunch->messages[i].size() > helpMaxBytes;
                return Claim{std::move(bunch), i, &lane, large};
            }
        }
        // The main thread claimed the rest.
        m_lanes.erase(lane.owner);
    }
    return std::nullopt;
}

void DecodePipeline::endTurn(Lane &lane)
{
    lane.busy = false;
    if (lane.bunches.empty()) {
        m_lanes.erase(lane.owner);
    } else {
        // Behind the apps that waited meanwhile.
        lane.waiting = true;
        m_turns.push_back(&lane);
    }
}

void DecodePipeline::runWorker()
{
    // A decoder keeps its parse buffers between messages: one per worker thread. The workers
    // yield to the main thread (Linux orders threads by their nice value).
    thread_local Decoder decoder = [] {
        // A batch thread never preempts the main thread when it is woken (Linux); it still gets
        // its fair share of the processor.
        const sched_param param{};
        ::sched_setscheduler(::gettid(), SCHED_BATCH, &param);
        return Decoder::make();
    }();
    // What this thread has decoded since it last made room on its heap.
    thread_local qsizetype sinceHeadroom = kHeadroom;
    std::unique_lock lock(m_lanesLock);
    for (;;) {
        // One worker too many once the other has left its large frame.
        std::optional<Claim> claim;
        if (!m_stopping && m_running <= 1 + m_inLarge)
            claim = claimNext();
        if (!claim) {
            --m_running;
            return;
        }
        if (claim->large) {
            ++m_inLarge;
            startWorkerIfWanted();
        }
        lock.unlock();
        const qsizetype bytes = claim->bunch->messages[claim->index].size();
        if (sinceHeadroom >= kHeadroom / 2) {
            keepHeapHeadroom();
            sinceHeadroom = 0;
        }
        sinceHeadroom += bytes;
        decodeClaimed(*claim->bunch, claim->index, decoder);
        lock.lock();
        if (claim->large)
            --m_inLarge;
        // The pipeline may have dropped every lane while this one decoded.
        if (!m_stopping)
            endTurn(*claim->lane);
    }
}

bool DecodePipeline::decodeNextSmall(Bunch &bunch)
{
    size_t i = bunch.claimed.load();
    do {
        // Only claiming reads past the claimed ones, and the messages never change: reading the
        // size of one a worker may claim meanwhile is safe.
        if (i >= bunch.messages.size() || bunch.messages[i].size() > helpMaxBytes)
            return false;
    } while (!bunch.claimed.compare_exchange_weak(i, i + 1));
    decodeClaimed(bunch, i, m_decoder);
    return true;
}

void DecodePipeline::decodeClaimed(Bunch &bunch, size_t i, Decoder &decoder)
{
    bunch.results[i] = decodeGuarded(decoder, bunch.messages[i]);
    bunch.ready[i].store(true);
    // Sequentially consistent with the main thread's going idle: either it sees this message
    // ready, or this sees it idle and wakes it.
    if (m_idle.load())
        wake();
}

void DecodePipeline::wake()
{
    if (!m_wakePending.exchange(true))
        QMetaObject::invokeMethod(this, &DecodePipeline::applyReady, Qt::QueuedConnection);
}

void DecodePipeline::applyReady()
{
    // Cleared first: a worker finishing from here on queues another pass.
    m_wakePending.store(false);
    m_idle.store(false);
    QElapsedTimer clock;
    clock.start();
    while (!m_queues.empty()) {
        bool progress = false;
        std::vector<const MorvendaConnection *> ids;
        ids.reserve(m_queues.size());
        for (const auto &[id, queue] : m_queues)
            ids.push_back(id);
        const size_t first = m_firstQueue++ % ids.size();
        for (size_t k = 0; k < ids.size(); ++k) {
            const MorvendaConnection *id = ids[(first + k) % ids.size()];
            for (int n = 0; n < kMessagesPerConnectionPerPass && applyNext(id); ++n) {
                progress = true;
                if (clock.nsecsElapsed() >= applyBudgetNs) {
                    // The rest in a later turn, after what else is waiting (painting, input).
                    wake();
                    return;
                }
            }
        }
        if (progress)
            continue;
        if (help()) {
            if (clock.nsecsElapsed() >= applyBudgetNs) {
                wake();
                return;
            }
            continue;
        }
        // Nothing to do until a worker finishes a message or a bunch is overdue. Going idle is
        // followed by one more look, for a message finished just before, while this pass was
        // still counted as busy.
        if (m_idle.exchange(true)) {
            if (!m_helpTimer.isActive())
                m_helpTimer.start();
            return;
        }
    }
    m_idle.store(true);
}

bool DecodePipeline::help()
{
    // Apps take turns: this help starts with the app after the one helped last.
    auto it = m_queues.upper_bound(m_lastHelped);
    for (size_t k = 0; k < m_queues.size(); ++k, ++it) {
        if (it == m_queues.end())
            it = m_queues.begin();
        const Item &front = it->second.items.front();
        if (!front.bunch)
            continue;
        const std::shared_ptr<Bunch> bunch = front.bunch;
        submit(bunch);
        if (overdue(*bunch) && !bunch->ready[bunch->applied].load() && decodeNextSmall(*bunch)) {
            m_lastHelped = it->first;
            return true;
        }
    }
    return false;
}

bool DecodePipeline::applyNext(const MorvendaConnection *id)
{
    const auto found = m_queues.find(id);
    if (found == m_queues.end())
        return false;
    Queue &queue = found->second;
    // Held here: the queue goes once it is empty, and a handler may release the connection.
    const ConnectionPtr connection = queue.connection;
    Item &front = queue.items.front();
    std::function<void()> notice;
    QByteArray message;
    std::optional<Decoded> decoded;
    if (front.bunch) {
        Bunch &bunch = *front.bunch;
        if (!bunch.submitted || !bunch.ready[bunch.applied].load())
            return false;
        const size_t i = bunch.applied++;
        message = std::move(bunch.messages[i]);
        decoded = std::move(bunch.results[i]);
        bunch.results[i].reset();
        --queue.messages;
        queue.bytes -= message.size();
        --m_totalMessages;
        m_totalBytes -= message.size();
        if (bunch.applied == bunch.messages.size())
            queue.items.pop_front();
    } else {
        notice = std::move(front.notice);
        queue.items.pop_front();
    }
    // Before the handler runs: it may add to this queue.
    updateReading(queue);
    if (queue.items.empty())
        m_queues.erase(found);

    if (notice) {
        notice();
    } else if (!decoded) {
        qCCritical(lcMorvendaListener, "Dropped a message of %lld bytes: out of memory while decoding it",
                   static_cast<long long>(message.size()));
    } else if (connection->state() != MorvendaConnection::State::Cancelled) {
        // A disconnected app's messages that were still waiting are dropped with it.
        try {
            m_handler(connection, message, std::move(*decoded));
        } catch (const std::bad_alloc &) {
            // Costs this message only: the next one may well fit.
            qCCritical(lcMorvendaListener, "Dropped a message of %lld bytes: out of memory while handling it",
                       static_cast<long long>(message.size()));
        }
    }
    return true;
}

void DecodePipeline::updateReading(Queue &queue)
{
    // Every queue counted here holds something, so over the shared bound at least one connection
    // holds its share: the ones that do pause, and a quiet connection reads on.
    const qsizetype queues = std::max<qsizetype>(1, qsizetype(m_queues.size()));
    const qsizetype shareMessages = std::max<qsizetype>(1, m_limits.totalMessages / queues);
    const qsizetype shareBytes = std::max<qsizetype>(1, m_limits.totalBytes / queues);
    MorvendaConnection &connection = *queue.connection;
    if (!connection.isReadingPaused()) {
        const bool ownFull = queue.messages >= m_limits.connectionMessages || queue.bytes >= m_limits.connectionBytes;
        const bool shareFull = (m_totalMessages >= m_limits.totalMessages && queue.messages >= shareMessages)
            || (m_totalBytes >= m_limits.totalBytes && queue.bytes >= shareBytes);
        if (ownFull || shareFull)
            connection.setReadingPaused(true);
        return;
    }
    const bool ownLow = queue.messages <= m_limits.connectionMessages / 2 && queue.bytes <= m_limits.connectionBytes / 2;
    // A paused connection's queue only shrinks, and at the latest it resumes once it is empty.
    const bool shareLow = (m_totalMessages <= m_limits.totalMessages / 2 && m_totalBytes <= m_limits.totalBytes / 2)
        || (queue.messages <= shareMessages / 2 && queue.bytes <= shareBytes / 2);
    if (ownLow && shareLow)
        connection.setReadingPaused(false);
}

qsizetype DecodePipeline::waitingCount() const
{
    qsizetype count = 0;
    for (const auto &[id, queue] : m_queues) {
        count += queue.messages;
        count += std::count_if(queue.items.begin(), queue.items.end(), [](const Item &item) { return !item.bunch; });
    }
    return count;
}
