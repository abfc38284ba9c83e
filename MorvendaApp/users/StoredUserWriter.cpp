#include "StoredUserWriter.h"

StoredUserWriter::StoredUserWriter(const ImpersonateUserStore &store)
    : m_connection(store.openAnother())
    , m_available(m_connection->isAvailable())
    , m_unavailableReason(m_connection->unavailableReason())
{
    if (store.isAvailable() && !m_available) {
        qCWarning(lcImpersonateUserStore, "%s; stored users cannot be changed",
            qUtf8Printable(m_unavailableReason));
    }
    // The baseline of later looks, taken before the thread uses the connection.
    m_seenVersion = m_connection->dataVersion();
    m_thread.setObjectName(QStringLiteral("Stored users"));
    m_connection->moveToThread(&m_thread);
    m_thread.start();
}

StoredUserWriter::~StoredUserWriter()
{
    // Queued behind every job handed over; the thread ends after them.
    post([](ImpersonateUserStore &) { QThread::currentThread()->quit(); });
    m_thread.wait();
}

void StoredUserWriter::post(std::function<void(ImpersonateUserStore &)> job, Counting counting)
{
    QMetaObject::invokeMethod(m_connection.get(), [this, job = std::move(job), counting] {
        job(*m_connection);
        // Counted whether or not the job wrote: a change too many only costs a reload.
        if (counting == Counting::AsAChange) {
            ++m_changes;
        }
    }, Qt::QueuedConnection);
}

void StoredUserWriter::runAndWait(const std::function<void(ImpersonateUserStore &)> &job)
{
    QMetaObject::invokeMethod(m_connection.get(), [this, &job] {
        job(*m_connection);
        ++m_changes;
    }, Qt::BlockingQueuedConnection);
}

qint64 StoredUserWriter::changesSoFar(ImpersonateUserStore &connection)
{
    const std::optional<qint64> version = connection.dataVersion();
    // A look that could not be made counts as a change: at worst a reload.
    if (!version || !m_seenVersion || *version != *m_seenVersion) {
        ++m_changes;
    }
    m_seenVersion = version;
    return m_changes.load();
}
