#include "MorvendaApp/session/SessionFile.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaModel/Encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

#include <sys/stat.h>

namespace SessionFile {

namespace {

// The writer hands its buffer to the file whenever it grows past this, so a save never holds
// more than one slice of the document besides the exchanges themselves.
constexpr qsizetype kFlushBytes = qsizetype(4) << 20;

QString describePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString defaultFileName(const QDateTime &date)
{
    // The C locale's short form spells the month and keeps seconds; use a numeric one there.
    const QLocale locale;
    QString text = locale.language() == QLocale::C ? date.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                                   : locale.toString(date, QLocale::ShortFormat);
    text.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QStringLiteral("morvenda-session-") + text + QStringLiteral(".json");
}

QList<Payload> payloads(const Exchange &exchange)
{
    QList<Payload> result;
    result.reserve(exchange.responses().size() + 1);
    if (exchange.request())
        result.append(Payload::request(*exchange.request()));
    for (const Response &response : exchange.responses())
        result.append(Payload::response(response));
    return result;
}

tl::expected<void, QString> write(const QList<Exchange> &timeline, const QString &path)
{
    // A device cannot be replaced by a new file (and must not be): write into it.
    const QFileInfo info(path);
    std::unique_ptr<QFileDevice> device;
    QSaveFile *saveFile = nullptr;
    QIODevice::OpenMode mode = QIODevice::WriteOnly;
    if (info.exists() && !info.isFile() && !info.isDir()) {
        // Not into a named pipe or a socket: opening one waits for a reader that may never come,
        // and a reader that leaves early would end the whole process with SIGPIPE.
        struct stat status {};
        if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISCHR(status.st_mode))
            return tl::make_unexpected(QStringLiteral("it is neither a regular file nor a device"));
        device = std::make_unique<QFile>(path);
        mode |= QIODevice::Unbuffered;
    } else {
        auto file = std::make_unique<QSaveFile>(path);
        saveFile = file.get();
        device = std::move(file);
    }
    if (!device->open(mode))
        return tl::make_unexpected(device->errorString());

    JsonWriter writer = Encoder::make();
    // A write that fills the disk part of the way returns a short count and leaves no error;
    // the next one fails with the system's reason, which is what the user is told.
    const auto flush = [&] {
        const QByteArray &buffer = writer.buffer();
        qsizetype written = 0;
        while (written < buffer.size()) {
            const qint64 got = device->write(buffer.constData() + written, buffer.size() - written);
            if (got <= 0)
                return false;
            written += got;
        }
        writer.clearBuffer();
        return true;
    };
    const auto fail = [&] {
        const QString reason = device->errorString();
        if (saveFile)
            saveFile->cancelWriting();
        return tl::make_unexpected(reason);
    };

    writer.beginArray();
    for (const Exchange &exchange : timeline) {
        if (exchange.request())
            writeJson(writer, Payload::request(*exchange.request()));
        for (const Response &response : exchange.responses())
            writeJson(writer, Payload::response(response));
        if (writer.buffer().size() >= kFlushBytes && !flush())
            return fail();
    }
    writer.endArray();
    if (!flush())
        return fail();
    if (saveFile) {
        if (!saveFile->commit())
            return tl::make_unexpected(saveFile->errorString());
        return {};
    }
    device->close();
    if (device->error() != QFileDevice::NoError)
        return tl::make_unexpected(device->errorString());
    return {};
}

namespace {

void logSaveFailure(Logger &logger, const QString &path, const tl::expected<void, QString> &result)
{
    if (!result)
        logger.error(QStringLiteral("Could not save the session to %1: %2").arg(describePath(path), result.error()));
}

} // namespace

tl::expected<void, QString> save(const QList<Exchange> &timeline, const QString &path, Logger &logger)
{
    tl::expected<void, QString> result = write(timeline, path);
    logSaveFailure(logger, path, result);
    return result;
}

void saveInBackground(const QList<Exchange> &timeline, const QString &path, Logger &logger, QObject *context,
                      Done done)
{
    using Result = tl::expected<void, QString>;
    auto *watcher = new QFutureWatcher<Result>(context);
    QPointer<Logger> log(&logger);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, watcher, [watcher, path, log, done = std::move(done)] {
        watcher->deleteLater();
        const Result result = watcher->result();
        if (log)
            logSaveFailure(*log, path, result);
        if (done)
            done(result);
    });
    watcher->setFuture(QtConcurrent::run([timeline, path] { return write(timeline, path); }));
}

QString peerName(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

void apply(const QList<Payload> &payloads, const QString &peer, MessageRepository &repository, FileHolder &fileHolder)
{
    // A file read into a repository that already holds its exchanges (saved and opened again in
    // the same run, or opened twice) must not repeat their responses: a request from the file
    // replaces its exchange whole, but a response joins the exchange it finds. So a response
    // joins an exchange from before this file only when the file holds more copies of it than
    // the exchange already does; an app that reported one response twice keeps both.
    QSet<QUuid> fromThisFile; // exchanges this file made or replaced: all they hold came from it
    // Per older exchange, how many copies of each response it held that the file has not yet
    // repeated; counted once, so a long list of responses is not searched again per response.
    QHash<QUuid, QHash<Response, qsizetype>> notYetRepeated;
    {
        MessageRepository::BatchScope batch(repository);
        for (const Payload &payload : payloads) {
            if (const Request *request = payload.asRequest()) {
                repository.addRequest(*request, peer);
                fromThisFile.insert(request->messageID());
            } else if (const Response *response = payload.asResponse()) {
                const QUuid id = response->messageID();
                if (!fromThisFile.contains(id)) {
                    auto held = notYetRepeated.find(id);
                    if (held == notYetRepeated.end()) {
                        const std::optional<Exchange> exchange = repository.exchange(id);
                        if (!exchange) {
                            fromThisFile.insert(id);
                        } else {
                            QHash<Response, qsizetype> counts;
                            for (const Response &earlier : exchange->responses())
                                ++counts[earlier];
                            held = notYetRepeated.insert(id, std::move(counts));
                        }
                    }
                    if (held != notYetRepeated.end()) {
                        const auto copies = held->find(*response);
                        if (copies != held->end() && *copies > 0) {
                            --*copies;
                            continue;
                        }
                    }
                }
                repository.addResponse(*response, peer);
            }
        }
    }
    // A file opened again is one entry still, and the one chosen: its exchanges were just read
    // again under the same name.
    if (fileHolder.files().contains(peer))
        fileHolder.setOpenedFile(peer);
    else
        fileHolder.appendFile(peer);
}

namespace {

const QString kPendingLoad = QStringLiteral("SessionFile.pendingLoad");

// The cancel flag of one load, shared with its worker. A child of the load's watcher: when the
// repository goes (at quit) it takes the watcher and this with it, and the worker stops instead
// of keeping the process alive until the whole file is read.
class LoadCancel : public QObject
{
public:
    explicit LoadCancel(QObject *watcher) : QObject(watcher) {}
    ~LoadCancel() override { cancel(); }

    void cancel() { m_flag->store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_flag->load(std::memory_order_relaxed); }
    std::shared_ptr<std::atomic_bool> flag() const { return m_flag; }

private:
    std::shared_ptr<std::atomic_bool> m_flag = std::make_shared<std::atomic_bool>(false);
};

} // namespace

void cancelLoads(MessageRepository &repository)
{
    for (QObject *watcher : repository.findChildren<QObject *>(kPendingLoad, Qt::FindDirectChildrenOnly)) {
        for (QObject *child : watcher->children()) {
            if (auto *cancel = dynamic_cast<LoadCancel *>(child))
                cancel->cancel();
        }
    }
}

void load(const QString &path, MessageRepository &repository, FileHolder &fileHolder, Logger &logger, Done done)
{
    using Result = tl::expected<QList<Payload>, QString>;
    // The watcher lives and dies with the repository: a load finishing after the repository is
    // gone is dropped. The holder and the log are checked again when the result arrives.
    //
    // Loads into one repository complete in the order they were started, whichever read ends
    // first: a small file opened after a large one waits for it, so files are listed and their
    // exchanges added in opening order. A watcher carries kPendingLoad as its name until it has
    // completed; the one started next waits for that name to change.
    const QList<QObject *> pending = repository.findChildren<QObject *>(kPendingLoad, Qt::FindDirectChildrenOnly);
    const QPointer<QObject> previous = pending.isEmpty() ? nullptr : pending.constLast();
    auto *watcher = new QFutureWatcher<Result>(&repository);
    watcher->setObjectName(kPendingLoad);
    auto *cancel = new LoadCancel(watcher);
    QPointer<FileHolder> holder(&fileHolder);
    QPointer<Logger> log(&logger);
    const auto complete = [watcher, cancel, path, &repository, holder, log, done = std::move(done)] {
        watcher->deleteLater();
        // A load cancelled after its worker finished is dropped all the same.
        const Result result = cancel->isCancelled() ? Result(tl::make_unexpected(cancelledReason())) : watcher->result();
        tl::expected<void, QString> outcome;
        if (!result && result.error() == cancelledReason()) {
            outcome = tl::make_unexpected(result.error());
            if (log)
                log->append(QStringLiteral("Stopped opening the session file %1").arg(describePath(path)));
        } else if (!result) {
            outcome = tl::make_unexpected(result.error());
            if (log)
                log->error(QStringLiteral("Could not open the session file %1: %2").arg(describePath(path), result.error()));
        } else if (holder) {
            apply(*result, peerName(path), repository, *holder);
        }
        const QPointer<QObject> self(watcher);
        if (done)
            done(outcome);
        // Last: the load started next may complete right inside this call.
        if (self)
            self->setObjectName(QString());
    };
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, watcher, [previous, watcher, complete] {
        if (previous && previous->objectName() == kPendingLoad)
            QObject::connect(previous, &QObject::objectNameChanged, watcher, complete, Qt::SingleShotConnection);
        else
            complete();
    });
    watcher->setFuture(QtConcurrent::run([path, flag = cancel->flag()] {
        ReadControl control;
        control.cancelled = flag.get();
        return read(path, control);
    }));
}

} // namespace SessionFile
