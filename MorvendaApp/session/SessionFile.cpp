#include "MorvendaApp/session/SessionFile.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>
#include <memory>

namespace SessionFile {

namespace {

// The writer hands its buffer to the file whenever it grows past this, so a save never holds
// more than one slice of the document besides the exchanges themselves.
constexpr qsizetype kFlushBytes = qsizetype(4) << 20;
constexpr qint64 kReadChunk = qint64(16) << 20;

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

QString describePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Qt's UTF-16 decoder copies code units as they are; an unpaired surrogate would silently turn
// into a replacement character on the way to UTF-8.
bool hasLoneSurrogate(const QString &text)
{
    const qsizetype size = text.size();
    const QChar *data = text.constData();
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i].isHighSurrogate()) {
            if (i + 1 >= size || !data[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (data[i].isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

// Text with a byte-order mark becomes UTF-8; UTF-8 loses its mark. `offset` is where the JSON
// text starts in the returned bytes.
tl::expected<QByteArray, QString> toUtf8(QByteArray bytes, qsizetype *offset)
{
    *offset = 0;
    const auto startsWith = [&](std::initializer_list<unsigned char> mark) {
        if (bytes.size() < qsizetype(mark.size()))
            return false;
        return std::memcmp(bytes.constData(), mark.begin(), mark.size()) == 0;
    };
    if (startsWith({0xEF, 0xBB, 0xBF})) {
        *offset = 3;
        return bytes;
    }
    struct Mark
    {
        std::initializer_list<unsigned char> bytes;
        QStringConverter::Encoding encoding;
        const char *name;
    };
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    const Mark marks[] = {
        {{0xFF, 0xFE, 0x00, 0x00}, QStringConverter::Utf32LE, "UTF-32"},
        {{0x00, 0x00, 0xFE, 0xFF}, QStringConverter::Utf32BE, "UTF-32"},
        {{0xFF, 0xFE}, QStringConverter::Utf16LE, "UTF-16"},
        {{0xFE, 0xFF}, QStringConverter::Utf16BE, "UTF-16"},
    };
    for (const Mark &mark : marks) {
        if (!startsWith(mark.bytes))
            continue;
        QStringDecoder decoder(mark.encoding, QStringConverter::Flag::Stateless);
        const QString text = decoder(QByteArrayView(bytes).sliced(qsizetype(mark.bytes.size())));
        if (decoder.hasError() || hasLoneSurrogate(text))
            return tl::make_unexpected(QStringLiteral("the file is not valid %1 text").arg(QLatin1String(mark.name)));
        return text.toUtf8();
    }
    return bytes;
}

// Finds the end of the string whose opening quote is at `pos`; returns the index just past the
// closing quote, or -1 when the string is not closed.
qsizetype skipString(const char *data, qsizetype size, qsizetype pos)
{
    qsizetype from = pos + 1;
    while (from < size) {
        const auto *quote = static_cast<const char *>(std::memchr(data + from, '"', size_t(size - from)));
        if (!quote)
            return -1;
        qsizetype backslashes = 0;
        for (const char *p = quote - 1; p >= data + pos + 1 && *p == '\\'; --p)
            ++backslashes;
        from = quote - data + 1;
        if (backslashes % 2 == 0)
            return from;
    }
    return -1;
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
    // A device or a pipe cannot be replaced by a new file (and must not be): write into it.
    const QFileInfo info(path);
    std::unique_ptr<QFileDevice> device;
    QSaveFile *saveFile = nullptr;
    QIODevice::OpenMode mode = QIODevice::WriteOnly;
    if (info.exists() && !info.isFile() && !info.isDir()) {
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
    const auto flush = [&] {
        const QByteArray &buffer = writer.buffer();
        if (device->write(buffer) != buffer.size())
            return false;
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

tl::expected<void, QString> save(const QList<Exchange> &timeline, const QString &path, Logger &logger)
{
    tl::expected<void, QString> result = write(timeline, path);
    if (!result)
        logger.error(QStringLiteral("Could not save the session to %1: %2").arg(describePath(path), result.error()));
    return result;
}

tl::expected<QList<Payload>, QString> parse(QByteArray bytes)
{
    qsizetype start = 0;
    tl::expected<QByteArray, QString> utf8 = toUtf8(std::move(bytes), &start);
    if (!utf8)
        return tl::make_unexpected(utf8.error());
    const char *data = utf8->constData();
    const qsizetype size = utf8->size();
    const QString notAnArray = QStringLiteral("the file does not hold a JSON array of payloads");

    qsizetype pos = start;
    const auto skipSpace = [&] {
        while (pos < size && isJsonSpace(data[pos]))
            ++pos;
    };
    skipSpace();
    if (pos >= size || data[pos] != '[')
        return tl::make_unexpected(notAnArray);
    ++pos;
    skipSpace();

    // Elements are found by a light scan (strings skipped whole, brackets counted) and each is
    // decoded on its own, so the parse buffers stay the size of one payload. Whatever the scan
    // lets through is validated by the decoder, which rejects anything that is not one payload.
    QList<Payload> result;
    Decoder decoder = Decoder::make();
    bool closed = pos < size && data[pos] == ']';
    if (closed)
        ++pos;
    for (qsizetype index = 0; !closed; ++index) {
        const qsizetype elementStart = pos;
        int depth = 0;
        while (pos < size) {
            const char c = data[pos];
            if (c == '"') {
                pos = skipString(data, size, pos);
                if (pos < 0)
                    return tl::make_unexpected(QStringLiteral("element %1: a string is not closed").arg(index));
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    break;
                --depth;
            } else if (c == ',' && depth == 0) {
                break;
            }
            ++pos;
        }
        if (pos >= size)
            return tl::make_unexpected(QStringLiteral("the array is not closed"));
        qsizetype elementEnd = pos;
        while (elementEnd > elementStart && isJsonSpace(data[elementEnd - 1]))
            --elementEnd;
        tl::expected<Payload, DecodeError> payload =
            decoder.decodePayload(QByteArrayView(data + elementStart, elementEnd - elementStart));
        if (!payload)
            return tl::make_unexpected(QStringLiteral("element %1: %2").arg(index).arg(payload.error().toString()));
        if (payload->kind() == Payload::Kind::Request || payload->kind() == Payload::Kind::Response)
            result.append(std::move(*payload));
        closed = data[pos] == ']';
        ++pos;
        skipSpace();
    }
    skipSpace();
    if (pos != size)
        return tl::make_unexpected(QStringLiteral("unexpected text after the array"));
    return result;
}

tl::expected<QList<Payload>, QString> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tl::make_unexpected(file.errorString());
    const QString tooLarge = QStringLiteral("the file is larger than %1 GiB").arg(kMaxFileSize >> 30);
    const qint64 size = file.size();
    if (size > kMaxFileSize)
        return tl::make_unexpected(tooLarge);
    // Read in slices with the limit checked as we go: a device or a pipe reports no size.
    QByteArray bytes;
    bytes.reserve(qsizetype(size));
    while (true) {
        const QByteArray chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return tl::make_unexpected(file.errorString());
            break;
        }
        if (bytes.size() + chunk.size() > kMaxFileSize)
            return tl::make_unexpected(tooLarge);
        bytes.append(chunk);
    }
    return parse(std::move(bytes));
}

QString peerName(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

void apply(const QList<Payload> &payloads, const QString &peer, MessageRepository &repository, FileHolder &fileHolder)
{
    {
        MessageRepository::BatchScope batch(repository);
        for (const Payload &payload : payloads) {
            if (const Request *request = payload.asRequest())
                repository.addRequest(*request, peer);
            else if (const Response *response = payload.asResponse())
                repository.addResponse(*response, peer);
        }
    }
    fileHolder.appendFile(peer);
}

void load(const QString &path, MessageRepository &repository, FileHolder &fileHolder, Logger &logger, LoadDone done)
{
    using Result = tl::expected<QList<Payload>, QString>;
    // The watcher lives and dies with the repository: a load finishing after the repository is
    // gone is dropped. The holder and the log are checked again when the result arrives.
    auto *watcher = new QFutureWatcher<Result>(&repository);
    QPointer<FileHolder> holder(&fileHolder);
    QPointer<Logger> log(&logger);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, watcher,
                     [watcher, path, &repository, holder, log, done = std::move(done)] {
        watcher->deleteLater();
        const Result result = watcher->result();
        tl::expected<void, QString> outcome;
        if (!result) {
            outcome = tl::make_unexpected(result.error());
            if (log)
                log->error(QStringLiteral("Could not open the session file %1: %2").arg(describePath(path), result.error()));
        } else if (holder) {
            apply(*result, peerName(path), repository, *holder);
        }
        if (done)
            done(outcome);
    });
    watcher->setFuture(QtConcurrent::run([path] { return read(path); }));
}

} // namespace SessionFile
