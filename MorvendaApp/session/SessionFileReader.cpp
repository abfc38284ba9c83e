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

constexpr qint64 kReadChunk = qint64(16) << 20;
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
};

// UTF-32 before UTF-16: its little-endian mark begins like UTF-16's.
const Mark kMarks[] = {
    {{0xEF, 0xBB, 0xBF}, std::nullopt, "UTF-8"},
    {{0xFF, 0xFE, 0x00, 0x00}, QStringConverter::Utf32LE, "UTF-32"},
    {{0x00, 0x00, 0xFE, 0xFF}, QStringConverter::Utf32BE, "UTF-32"},
    {{0xFF, 0xFE}, QStringConverter::Utf16LE, "UTF-16"},
    {{0xFE, 0xFF}, QStringConverter::Utf16BE, "UTF-16"},
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

// UTF-16 or UTF-32 text after its mark, as UTF-8.
tl::expected<QByteArray, QString> convertToUtf8(QByteArrayView bytes, const Mark &mark)
{
    QStringDecoder decoder(*mark.encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes.sliced(qsizetype(mark.bytes.size())));
    if (decoder.hasError() || hasLoneSurrogate(text))
        return tl::make_unexpected(QStringLiteral("the file is not valid %1 text").arg(QLatin1String(mark.name)));
    return text.toUtf8();
}

tl::expected<QList<Payload>, QString> parseUtf8(const char *data, qsizetype start, qsizetype size)
{
    SessionArrayParser parser(data, start);
    if (std::optional<QString> error = parser.scan(size, true))
        return tl::make_unexpected(*error);
    return parser.finish();
}

tl::expected<QList<Payload>, QString> parseView(QByteArrayView bytes)
{
    const Mark *mark = markOf(bytes);
    if (!mark || !mark->encoding)
        return parseUtf8(bytes.data(), mark ? qsizetype(mark->bytes.size()) : 0, bytes.size());
    const tl::expected<QByteArray, QString> utf8 = convertToUtf8(bytes, *mark);
    if (!utf8)
        return tl::make_unexpected(utf8.error());
    return parseUtf8(utf8->constData(), 0, utf8->size());
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

tl::expected<QList<Payload>, QString> parse(QByteArray bytes)
{
    return parseView(bytes);
}

tl::expected<QList<Payload>, QString> read(const QString &path)
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
            const QByteArray chunk = file.read(kReadChunk);
            if (chunk.isEmpty()) {
                if (file.error() != QFileDevice::NoError)
                    return tl::make_unexpected(file.errorString());
                break;
            }
            if (bytes.size() + chunk.size() > kMaxFileSize)
                return tl::make_unexpected(tooLarge());
            bytes.append(chunk);
        }
        return parse(std::move(bytes));
    }

    // A regular file: the bytes it had when opened, read into one buffer that never moves, so
    // the elements are split and decoded while the rest is still being read, and the pages of
    // decoded elements go back to the system before the last records are built.
    ReadBuffer buffer{size_t(size)};
    if (!buffer.data())
        return tl::make_unexpected(QStringLiteral("not enough memory to read the file"));
    qint64 filled = 0;
    const auto readChunk = [&]() -> std::optional<QString> {
        const qint64 got = file.read(buffer.data() + filled, std::min(kReadChunk, size - filled));
        if (got < 0)
            return file.errorString();
        if (got == 0)
            return QStringLiteral("the file became shorter while it was read");
        filled += got;
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
        return parseView(QByteArrayView(buffer.data(), size));
    }
    // This thread reads the next slice of the file while a pool thread splits the bytes already
    // read, and the slices of elements it finds are decoded on further pool threads.
    SessionArrayParser parser(buffer.data(), mark ? qsizetype(mark->bytes.size()) : 0);
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
