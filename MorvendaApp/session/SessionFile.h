// Session files: the timeline saved as a JSON array of request and response payloads, and read
// back into the repository as if the file were one more connected app named by its URL text.
// Writing streams into a QSaveFile (an existing file is replaced atomically or left untouched);
// reading runs on a worker thread and is applied on the main thread in one repository batch.
// Every failure is returned as a value and written to the in-app log as an error line.
#pragma once

#include "MorvendaApp/session/Exchange.h"
#include "MorvendaModel/Payload.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <tl/expected.hpp>

#include <atomic>
#include <functional>

class FileHolder;
class Logger;
class MessageRepository;

namespace SessionFile {

// Files above this size are refused before anything is read.
constexpr qint64 kMaxFileSize = qint64(4) << 30; // 4 GiB

// "morvenda-session-" + the locale's short date and time with every "/" replaced by "-" + ".json".
QString defaultFileName(const QDateTime &date);

// The exchange's request (when it has one), then each of its responses.
QList<Payload> payloads(const Exchange &exchange);

// Writes the exchanges' payloads to `path`. On failure the returned text says why, and an
// existing file at `path` is as it was.
tl::expected<void, QString> write(const QList<Exchange> &timeline, const QString &path);
// As above, and writes an error line to the log on failure.
tl::expected<void, QString> save(const QList<Exchange> &timeline, const QString &path, Logger &logger);

using Done = std::function<void(const tl::expected<void, QString> &result)>;

// Saves on a worker thread (the exchanges are immutable values); the log line and `done` follow
// on the main thread, unless `context` is gone by then.
void saveInBackground(const QList<Exchange> &timeline, const QString &path, Logger &logger, QObject *context,
                      Done done);

// How a read goes: the size of one read from the file (tests and benchmarks make it small), a
// flag another thread sets to stop the read at its next check, and a report of the bytes read
// so far after each read, on the reading thread.
struct ReadControl
{
    qint64 chunkBytes = qint64(16) << 20;
    const std::atomic_bool *cancelled = nullptr;
    std::function<void(qint64 bytesRead)> progress;
};

// The failure of a read or load that was cancelled.
QString cancelledReason();

// Decodes a session file's bytes: UTF-8 with or without byte-order mark, UTF-16 or UTF-32 with
// one; a JSON array of payloads of which only requests and responses are kept. Any other top
// level or any element that fails to decode fails the whole file. Safe on any thread.
tl::expected<QList<Payload>, QString> parse(QByteArray bytes, const ReadControl &control = {});
// Reads and parses the file at `path` (refusing files over kMaxFileSize). Safe on any thread.
tl::expected<QList<Payload>, QString> read(const QString &path, const ReadControl &control = {});

// The peer name of a file's exchanges: the file URL's full text ("file:///…").
QString peerName(const QString &path);

// Adds the payloads to the repository in one batch (requests as through addRequest, responses
// through addResponse) and lists the file in the holder. Main thread.
void apply(const QList<Payload> &payloads, const QString &peer, MessageRepository &repository,
           FileHolder &fileHolder);

// Reads the file on a worker thread, then applies it on the main thread; `done` runs there too,
// unless `repository` is gone by then. Failures leave the repository and the holder untouched
// and write an error line to the log. Loads into one repository complete in the order they were
// started. A load is cancelled by cancelLoads() or by the repository's end (at quit): its worker
// stops at its next check, and it completes with cancelledReason(), applying nothing.
void load(const QString &path, MessageRepository &repository, FileHolder &fileHolder, Logger &logger,
          Done done = {});
// Cancels every load into `repository` that has not completed yet. Main thread.
void cancelLoads(MessageRepository &repository);

} // namespace SessionFile
