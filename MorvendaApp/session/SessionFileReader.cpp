// Reading session files: size and kind checks, encoding detection, and a read loop that feeds the
// array parser while the rest of the file is still being read.
#include "MorvendaApp/session/SessionFile.h"

#include "MorvendaApp/session/SessionArrayParser.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>


namespace SessionFile {

namespace {

QString tooLarge()
{
    return QStringLiteral("the file is larger than %1 GiB").arg(kMaxFileSize >> 30);
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

struct Mark
{
    std::initializer_list<unsigned char> bytes;
    std::optional<QStringConverter::Encoding> encoding; // none: UTF-8
    const char *name;
    qsizetype unitBytes; // of one code unit
};

// UTF-32 before UTF-16: its little-endian mark begins like UTF-16's.
const Mark kMarks[] = {
    {{0xEF, 0xBB, 0xBF}, std::nullopt, "UTF-8", 1},
    {{0xFF, 0xFE, 0x00, 0x00}, QStringConverter::Utf32LE, "UTF-32", 4},
    {{0x00, 0x00, 0xFE, 0xFF}, QStringConverter::Utf32BE, "UTF-32", 4},
    {{0xFF, 0xFE}, QStringConverter::Utf16LE, "UTF-16", 2},
    {{0xFE, 0xFF}, QStringConverter::Utf16BE, "UTF-16", 2},
};

const Mark *markOf(QByteArrayView bytes)
{
    for (const Mark &mark : kMarks) {
        if (bytes.size() >= qsizetype(mark.bytes.size())
            && std::memcmp(bytes.data(), mark.bytes.begin(), mark.bytes.size()) == 0)
            return &mark;
    }
    return nullptr;
}

bool isCancelled(const ReadControl &control)
{
    return control.cancelled && control.cancelled->load(std::memory_order_relaxed);
}

qint64 chunkBytes(const ReadControl &control)
{
    return std::max<qint64>(control.chunkBytes, 1);
}

// UTF-16 or UTF-32 text after its mark, as UTF-8; converted a slice at a time, so that a cancel
// is heard.
tl::expected<QByteArray, QString> convertToUtf8(QByteArrayView bytes, const Mark &mark, const ReadControl &control)
{
    const QString invalid = QStringLiteral("the file is not valid %1 text").arg(QLatin1StringView(mark.name));
    const QByteArrayView text = bytes.sliced(qsizetype(mark.bytes.size()));
    // A last, incomplete character would come out as a replacement character, and the file
    // would be refused for text after its array rather than for its encoding.
    if (text.size() % mark.unitBytes != 0)
        return tl::make_unexpected(invalid + QStringLiteral(": it ends inside a character"));
    QStringDecoder decoder(*mark.encoding);
    QString utf16;
    utf16.reserve(text.size() / 2);
    const qsizetype step = qsizetype(chunkBytes(control));
    for (qsizetype at = 0; at < text.size(); at += step) {
        if (isCancelled(control))
            return tl::make_unexpected(cancelledReason());
        utf16 += decoder(text.sliced(at, std::min(step, text.size() - at)));
    }
    if (decoder.hasError() || hasLoneSurrogate(utf16))
        return tl::make_unexpected(invalid);
    return utf16.toUtf8();
}

// Splits text already in memory a slice at a time, so that a cancel is heard.
tl::expected<QList<Payload>, QString> parseUtf8(const char *data, qsizetype start, qsizetype size,
                                                const ReadControl &control)
{
    SessionArrayParser parser(data, start, control.cancelled);
    const qsizetype step = qsizetype(chunkBytes(control));
    qsizetype available = start;
    do {
        if (isCancelled(control))
            return tl::make_unexpected(cancelledReason());
        available = size - available > step ? available + step : size;
        if (std::optional<QString> error = parser.scan(available, available == size))
            return tl::make_unexpected(*error);
    } while (available < size);
    return parser.finish();
}

tl::expected<QList<Payload>, QString> parseView(QByteArrayView bytes, const ReadControl &control)
{
    const Mark *mark = markOf(bytes);
    if (!mark || !mark->encoding)
        return parseUtf8(bytes.data(), mark ? qsizetype(mark->bytes.size()) : 0, bytes.size(), control);
    const tl::expected<QByteArray, QString> utf8 = convertToUtf8(bytes, *mark, control);
    if (!utf8)
        return tl::make_unexpected(utf8.error());
    return parseUtf8(utf8->constData(), 0, utf8->size(), control);
}

// Anonymous memory for a file's bytes whose fully decoded prefix can be handed back page by page.
class ReadBuffer
{
public:
    explicit ReadBuffer(size_t size) : m_size(std::max<size_t>(size, 1))
    {
        void *memory = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_data = memory == MAP_FAILED ? nullptr : static_cast<char *>(memory);
    }
    ~ReadBuffer()
    {
        if (m_data)
            munmap(m_data, m_size);
    }
    ReadBuffer(const ReadBuffer &) = delete;
    ReadBuffer &operator=(const ReadBuffer &) = delete;

    char *data() const { return m_data; }

    // The whole pages before `end` are never read again.
    void release(qsizetype end)
    {
        static const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t until = size_t(end) / page * page;
        if (until > m_released) {
            madvise(m_data + m_released, until - m_released, MADV_DONTNEED);
            m_released = until;
        }
    }

private:
    size_t m_size;
    char *m_data = nullptr;
    size_t m_released = 0;
};

} // namespace

QString cancelledReason()
{
    return QStringLiteral("the load was cancelled");
}

tl::expected<QList<Payload>, QString> parse(QByteArray bytes, const ReadControl &control)
{
    return parseView(bytes, control);
}

tl::expected<QList<Payload>, QString> read(const QString &path, const ReadControl &control)
{
    // A device or a pipe could stream without end (/dev/zero), and opening a named pipe waits for
    // a writer that may never come; a session is always a file. Checked before opening, and
    // again after, in case the path changed in between.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return tl::make_unexpected(QStringLiteral("it is not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tl::make_unexpected(file.errorString());
    if (!QFileInfo(path).isFile())
        return tl::make_unexpected(QStringLiteral("it is not a regular file"));
    const qint64 size = file.size();
    if (size > kMaxFileSize)
        return tl::make_unexpected(tooLarge());

    if (size == 0) {
        // Some files report no size (those of /proc): read them whole, the limit checked as it fills.
        QByteArray bytes;
        while (true) {
            if (isCancelled(control))
                return tl::make_unexpected(cancelledReason());
            const QByteArray chunk = file.read(chunkBytes(control));
            if (chunk.isEmpty()) {
                if (file.error() != QFileDevice::NoError)
                    return tl::make_unexpected(file.errorString());
                break;
            }
            if (bytes.size() + chunk.size() > kMaxFileSize)
                return tl::make_unexpected(tooLarge());
            bytes.append(chunk);
            if (control.progress)
                control.progress(bytes.size());
        }
        return parse(std::move(bytes), control);
    }

    // A regular file: the bytes it had when opened, read into one buffer that never moves, so
    // the elements are split and decoded while the rest is still being read, and the pages of
    // decoded elements go back to the system before the last records are built.
    ReadBuffer buffer{size_t(size)};
    if (!buffer.data())
        return tl::make_unexpected(QStringLiteral("not enough memory to read the file"));
    qint64 filled = 0;
    const auto readChunk = [&]() -> std::optional<QString> {
        if (isCancelled(control))
            return cancelledReason();
        const qint64 got = file.read(buffer.data() + filled, std::min(chunkBytes(control), size - filled));
        if (got < 0)
            return file.errorString();
        if (got == 0)
            return QStringLiteral("the file became shorter while it was read");
        filled += got;
        if (control.progress)
            control.progress(filled);
        return std::nullopt;
    };
    if (std::optional<QString> error = readChunk())
        return tl::make_unexpected(*error);
    const Mark *mark = markOf(QByteArrayView(buffer.data(), filled));
    if (mark && mark->encoding) {
        while (filled < size) {
            if (std::optional<QString> error = readChunk())
                return tl::make_unexpected(*error);
        }
        return parseView(QByteArrayView(buffer.data(), size), control);
    }
    // This thread reads the next slice of the file while a pool thread splits the bytes already
    // read, and the slices of elements it finds are decoded on further pool threads.
    SessionArrayParser parser(buffer.data(), mark ? qsizetype(mark->bytes.size()) : 0, control.cancelled);
    parser.setDecodedPrefixHandler([&buffer](qsizetype end) { buffer.release(end); });
    std::optional<QString> scanError;
    QFuture<void> scanning;
    const auto scanned = [&] {
        scanning.waitForFinished();
        return scanError;
    };
    while (true) {
        const qsizetype available = qsizetype(filled);
        const bool final = filled == size;
        if (std::optional<QString> error = scanned())
            return tl::make_unexpected(*error);
        // Only while no scan runs: a scan adds slices to the lists this reads.
        parser.reportDecodedPrefix();
        scanning = QtConcurrent::run([&parser, &scanError, available, final] { scanError = parser.scan(available, final); });
        if (final)
            break;
        if (std::optional<QString> error = readChunk()) {
            scanning.waitForFinished();
            return tl::make_unexpected(*error);
        }
    }
    if (std::optional<QString> error = scanned())
        return tl::make_unexpected(*error);
    return parser.finish();
}

} // namespace SessionFile
