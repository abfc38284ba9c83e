// The one thread that writes the stored users, over a connection of its own: reported users and
// the windows' edits are written there one after the other, in the order they were handed over, so
// the main thread never waits for the file's write lock (a huge report holds it for seconds), and
// an edit made while a report is written lands after it. The windows' loads read there too, in the
// same order, so a load sees every write handed over before it. Owned by the shared store and made on
// first use (ImpersonateUserStore::writer()); the object lives on the main thread, its connection
// and the jobs on the writer thread.
#pragma once

#include "ImpersonateUserStore.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class StoredUserWriter : public QObject
{
    Q_OBJECT
public:
    // Opens the writer's connection to `store`'s file; when that fails every job gets a
    // connection on which every operation fails with the reason.
    explicit StoredUserWriter(const ImpersonateUserStore &store);
    // Runs every job handed over, then ends the thread: nothing handed over is dropped at quit.
    ~StoredUserWriter() override;

    bool isAvailable() const { return m_available; }
    const QString &unavailableReason() const { return m_unavailableReason; }

    // Runs `job` with the writer's connection after every job handed over before it, then `done`
    // with its result on the main thread, unless `context` is gone by then. Main thread.
    template<typename Job, typename Done>
    void run(QObject *context, Job job, Done done)
    {
        hand(context, std::move(job), std::move(done), Counting::AsAChange);
    }
    // As run(), for a job that only reads: it is not counted as a change, so a load does not make
    // the writes after it look as if someone else had written. Main thread.
    template<typename Job, typename Done>
    void read(QObject *context, Job job, Done done)
    {
        hand(context, std::move(job), std::move(done), Counting::NotAChange);
    }
    // Runs `job` after every job handed over before it and waits for it. Main thread.
    void runAndWait(const std::function<void(ImpersonateUserStore &)> &job);

    // How many changes of the file this writer knows of: one per job it ran, and one per look at
    // the file that found another connection's commits. Take it before a load; a later write whose
    // changesSoFar() equals it knows that nothing but it was written since. Any thread.
    qint64 changeCount() const { return m_changes.load(); }
    // Inside a job's write transaction, or in a read job before it reads: counts the commits of
    // other connections since the last look, then returns changeCount(). Writer thread.
    qint64 changesSoFar(ImpersonateUserStore &connection);

private:
    enum class Counting { AsAChange, NotAChange };

    template<typename Job, typename Done>
    void hand(QObject *context, Job job, Done done, Counting counting)
    {
        post([this, context = QPointer<QObject>(context), job = std::move(job), done = std::move(done)](
                 ImpersonateUserStore &connection) mutable {
            auto result = std::make_shared<decltype(job(connection))>(job(connection));
            // Through this object, which lives on the main thread and outlives the jobs: `context`
            // is looked at there, never from this thread.
            QMetaObject::invokeMethod(this, [context, done = std::move(done), result] {
                if (context) {
                    done(std::move(*result));
                }
            }, Qt::QueuedConnection);
        }, counting);
    }
    void post(std::function<void(ImpersonateUserStore &)> job, Counting counting = Counting::AsAChange);

    std::unique_ptr<ImpersonateUserStore> m_connection;
    bool m_available = false;
    QString m_unavailableReason;
    std::atomic<qint64> m_changes = 0;
    // The connection's data version at the last look; writer thread.
    std::optional<qint64> m_seenVersion;
    QThread m_thread;
};
