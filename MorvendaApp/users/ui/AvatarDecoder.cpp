#include "AvatarDecoder.h"

#include <QIODevice>
#include <QImageReader>
#include <QLoggingCategory>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>

Q_LOGGING_CATEGORY(lcAvatarDecoder, "morvenda.AvatarDecoder")

namespace {

// Megabytes a decoded image may take before the reader refuses it: a small file can claim a
// gigantic canvas.
constexpr int kAllocationLimitMB = 64;

// Bytes handed to the JPEG decoder per read. A scan can be as short as 10 bytes yet cost a pass
// over the whole image, so a read of the decoder's usual 4 kB could hold hundreds of passes before
// the next read notices the deadline; 16 bytes hold no more than two whole scans.
constexpr qint64 kJpegReadBytes = 16;

// What a raster file says about itself before any pixel is decoded.
struct DeclaredImage
{
    const char *format;
    qint64 width;
    qint64 height;
    // Bytes per pixel of what the decoder allocates for it.
    int bytesPerPixel;
};

quint32 bigEndian32(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}
quint16 bigEndian16(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}
quint32 littleEndian24(const QByteArray &bytes, qsizetype at)
{
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return b[0] | (b[1] << 8) | (b[2] << 16);
}

std::optional<DeclaredImage> declaredPng(const QByteArray &bytes)
{
    if (bytes.size() < 29 || bytes.mid(12, 4) != "IHDR") {
        return std::nullopt;
    }
    const int depth = uchar(bytes[24]);
    int channels = 0;
    switch (uchar(bytes[25])) {
    case 0: channels = 1; break; // grey
    case 2: channels = 3; break; // RGB
    case 3: channels = 3; break; // palette, expanded to RGB
    case 4: channels = 2; break; // grey and alpha
    case 6: channels = 4; break; // RGBA
    default: return std::nullopt;
    }
    return DeclaredImage{"png", bigEndian32(bytes, 16), bigEndian32(bytes, 20), channels * (depth == 16 ? 2 : 1)};
}

// Walks the markers up to the frame header, which holds the size and the number of components.
std::optional<DeclaredImage> declaredJpeg(const QByteArray &bytes)
{
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (uchar(bytes[at]) != 0xFF) {
            return std::nullopt;
        }
        while (at < bytes.size() && uchar(bytes[at]) == 0xFF) {
            ++at;
        }
        if (at >= bytes.size()) {
            return std::nullopt;
        }
        const uchar marker = uchar(bytes[at++]);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a length
        }
        if (marker == 0xD9 || marker == 0xDA || at + 2 > bytes.size()) {
            return std::nullopt; // image data or the end before any frame header
        }
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (at + 8 > bytes.size()) {
                return std::nullopt;
            }
            const int precision = uchar(bytes[at + 2]);
            return DeclaredImage{"jpeg", bigEndian16(bytes, at + 5), bigEndian16(bytes, at + 3),
                uchar(bytes[at + 7]) * (precision > 8 ? 2 : 1)};
        }
        at += bigEndian16(bytes, at);
    }
    return std::nullopt;
}

std::optional<DeclaredImage> declaredGif(const QByteArray &bytes)
{
    if (bytes.size() < 10) {
        return std::nullopt;
    }
    return DeclaredImage{"gif", qFromLittleEndian<quint16>(bytes.constData() + 6),
        qFromLittleEndian<quint16>(bytes.constData() + 8), 4};
}

std::optional<DeclaredImage> declaredWebp(const QByteArray &bytes)
{
    if (bytes.size() < 30) {
        return std::nullopt;
    }
    const QByteArray chunk = bytes.mid(12, 4);
    if (chunk == "VP8 ") {
        return DeclaredImage{"webp", qFromLittleEndian<quint16>(bytes.constData() + 26) & 0x3FFF,
            qFromLittleEndian<quint16>(bytes.constData() + 28) & 0x3FFF, 4};
    }
    if (chunk == "VP8L") {
        const quint32 bits = qFromLittleEndian<quint32>(bytes.constData() + 21);
        return DeclaredImage{"webp", (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1, 4};
    }
    if (chunk == "VP8X") {
        return DeclaredImage{"webp", qint64(littleEndian24(bytes, 24)) + 1, qint64(littleEndian24(bytes, 27)) + 1, 4};
    }
    return std::nullopt;
}

// The format is told by the bytes, never by the address or the server's content type; anything
// other than these four raster formats is refused.
std::optional<DeclaredImage> declaredImage(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) {
        return declaredPng(bytes);
    }
    if (bytes.startsWith("\xFF\xD8\xFF")) {
        return declaredJpeg(bytes);
    }
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) {
        return declaredGif(bytes);
    }
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP") {
        return declaredWebp(bytes);
    }
    return std::nullopt;
}

bool fitsBudget(qint64 width, qint64 height, int bytesPerPixel)
{
    return width > 0 && height > 0 && width * height * bytesPerPixel <= AvatarDecoder::kMaxDeclaredBytes;
}

// The scans (start-of-scan markers) the JPEG decoder would meet, found the way it walks the file:
// marker segments skipped by their length; entropy-coded data, and any garbage between segments,
// searched for the next marker (0xFF followed by neither a stuffed 0 nor more 0xFF fill).
int jpegScanCount(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype end = bytes.size();
    int scans = 0;
    qsizetype at = 2; // after the start-of-image marker
    while (at < end) {
        const auto *found = static_cast<const uchar *>(std::memchr(data + at, 0xFF, size_t(end - at)));
        if (!found) {
            break;
        }
        qsizetype marker = found - data + 1;
        while (marker < end && data[marker] == 0xFF) {
            ++marker;
        }
        if (marker >= end) {
            break;
        }
        const uchar code = data[marker];
        at = marker + 1;
        if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            continue; // a stuffed byte, or a marker without a length
        }
        if (code == 0xD8 || code == 0xD9) {
            break; // the end of the image (a second start is an error to the decoder)
        }
        if (code == 0xDA) {
            ++scans;
        }
        if (at + 2 > end) {
            break;
        }
        at += bigEndian16(bytes, at);
    }
    return scans;
}

// The bytes to decode behind a gate: once the deadline passes or the decode is cancelled every
// read fails, and the image handlers wind down as at a truncated file.
class GatedBytes : public QIODevice
{
public:
    GatedBytes(const QByteArray &bytes, qint64 readBytes, const AvatarDecoder::Limits &limits)
        : m_bytes(bytes)
        , m_readBytes(readBytes)
        , m_limits(limits)
    {
        // Unbuffered: each read of the handler reaches readData, so the gate is asked every time.
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    qint64 size() const override { return m_bytes.size(); }
    bool stopped() const { return m_stopped; }
    bool cancelled() const { return m_limits.cancelled && m_limits.cancelled->load(std::memory_order_relaxed); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_stopped || m_limits.deadline.hasExpired() || cancelled()) {
            m_stopped = true;
            return -1;
        }
        const qint64 count = std::min({maxSize, m_readBytes, m_bytes.size() - pos()});
        std::memcpy(data, m_bytes.constData() + pos(), size_t(count));
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_bytes;
    const qint64 m_readBytes;
    const AvatarDecoder::Limits m_limits;
    bool m_stopped = false;
};

} // namespace

QImage AvatarDecoder::decode(const QByteArray &bytes, int pixelSize, const Limits &limits)
{
    const std::optional<DeclaredImage> declared = declaredImage(bytes);
    if (!declared) {
        qCWarning(lcAvatarDecoder) << "Profile picture is not a PNG, JPEG, GIF or WebP file; not decoded";
        return {};
    }
    if (!fitsBudget(declared->width, declared->height, declared->bytesPerPixel)) {
        qCWarning(lcAvatarDecoder, "Profile picture declares %lld x %lld pixels of %d bytes, over the budget of %lld "
                                   "bytes; not decoded",
            declared->width, declared->height, declared->bytesPerPixel, kMaxDeclaredBytes);
        return {};
    }
    const bool jpeg = qstrcmp(declared->format, "jpeg") == 0;
    if (jpeg) {
        if (const int scans = jpegScanCount(bytes); scans > limits.maxJpegScans) {
            qCWarning(lcAvatarDecoder, "Profile picture is a JPEG of %d scans, more than the %d allowed; not decoded",
                scans, limits.maxJpegScans);
            return {};
        }
    }
    GatedBytes device(bytes, jpeg ? kJpegReadBytes : bytes.size(), limits);
    // Only the handler of the format the bytes showed: no other plugin gets to guess.
    QImageReader reader(&device, declared->format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(kAllocationLimitMB);
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    // The decoder's own reading of the header must fit as well (a GIF frame may outgrow its screen).
    if (source.isValid() && !fitsBudget(source.width(), source.height(), declared->bytesPerPixel)) {
        qCWarning(lcAvatarDecoder, "Profile picture is %d x %d pixels, over the budget; not decoded", source.width(),
            source.height());
        return {};
    }
    if (source.isValid() && !source.isEmpty()) {
        // Decode straight to the smallest size that still fills the square.
        const QSize fill = source.scaled(pixelSize, pixelSize, Qt::KeepAspectRatioByExpanding);
        if (fill.width() < source.width()) {
            reader.setScaledSize(fill);
        }
    }
    QImage image = reader.read();
    // A stopped decode may still hand back the part it had: never show half a picture.
    if (device.stopped()) {
        if (!device.cancelled()) {
            qCWarning(lcAvatarDecoder) << "Profile picture took too long to decode; stopped";
        }
        return {};
    }
    if (image.isNull()) {
        return {};
    }
    image = image.scaled(pixelSize, pixelSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect square((image.width() - pixelSize) / 2, (image.height() - pixelSize) / 2, pixelSize, pixelSize);
    return image.copy(square).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage AvatarDecoder::decode(const QByteArray &bytes, int pixelSize)
{
    return decode(bytes, pixelSize, Limits{});
}
