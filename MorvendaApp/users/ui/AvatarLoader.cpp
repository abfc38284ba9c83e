#include "AvatarLoader.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QtConcurrent>
#include <QtEndian>

#include <optional>

Q_LOGGING_CATEGORY(lcAvatarLoader, "morvenda.AvatarLoader")

namespace {

// Megabytes a decoded image may take before the reader refuses it: a small file can claim a
// gigantic canvas.
constexpr int kAllocationLimitMB = 64;

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

int defaultPort(const QUrl &url)
{
    return url.scheme().compare(u"https", Qt::CaseInsensitive) == 0 ? 443 : 80;
}

// A redirect stays with the server first asked: the same host and port (or, between the
// standard ports, http moving to https), so a peer cannot point the program at other machines or
// at services on this one.
bool isSameServer(const QUrl &from, const QUrl &to)
{
    if (from.host().compare(to.host(), Qt::CaseInsensitive) != 0) {
        return false;
    }
    const int fromPort = from.port(defaultPort(from));
    const int toPort = to.port(defaultPort(to));
    return fromPort == toPort || (fromPort == defaultPort(from) && toPort == defaultPort(to));
}

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
    return width > 0 && height > 0 && width * height * bytesPerPixel <= AvatarLoader::kMaxDeclaredBytes;
}

} // namespace

AvatarLoader::AvatarLoader(QObject *parent)
    : AvatarLoader(Options{}, parent)
{
}

AvatarLoader::AvatarLoader(Options options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_network(new QNetworkAccessManager(this))
{
    // Cost in kilobytes keeps the total within int for any cache size we use.
    m_cache.setMaxCost(qMax<qint64>(1, m_options.cacheBytes / 1024));
    // Redirects are followed here, hop by hop: the network library's own following, even when each
    // hop is confirmed, fetches hops twice and loses the third.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

AvatarLoader::~AvatarLoader()
{
    const QList<QNetworkReply *> replies = m_transfers.keys();
    m_transfers.clear();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
        delete reply;
    }
}

AvatarLoader::Picture AvatarLoader::picture(const QUrl &url, int pixelSize)
{
    const Key key{url, qMax(1, pixelSize)};
    if (const Picture *cached = m_cache.object(key)) {
        return *cached;
    }
    if (!isWebAddress(url)) {
        qCWarning(lcAvatarLoader) << "Not loading a profile picture that is not a web address:" << url.toDisplayString();
        store(key, Picture{Status::Failed, {}});
        return Picture{Status::Failed, {}};
    }
    if (!m_queued.contains(key)) {
        m_queued.insert(key);
        m_queue.append(key);
        startNext();
    }
    return Picture{};
}

void AvatarLoader::startNext()
{
    while (m_transfers.size() < m_options.maxConcurrent && !m_queue.isEmpty()) {
        // The newest request first: it is what the developer scrolled to last.
        const Key key = m_queue.takeLast();
        fetch(key.url, Transfer{key, {}, 0, false, QDeadlineTimer(m_options.timeoutMs)});
    }
}

void AvatarLoader::fetch(const QUrl &url, Transfer transfer)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    QNetworkReply *reply = m_network->get(request);
    const qint64 remainingMs = transfer.deadline.remainingTime();
    m_transfers.insert(reply, std::move(transfer));

    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, reply] {
        qCWarning(lcAvatarLoader) << "Profile picture took longer than" << m_options.timeoutMs << "ms:"
                                  << reply->url().toDisplayString();
        fail(reply);
    });
    deadline->start(int(qMax<qint64>(0, remainingMs)));

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_options.maxBytes) {
            qCWarning(lcAvatarLoader) << "Profile picture announces" << length.toLongLong() << "bytes, over the cap:"
                                      << reply->url().toDisplayString();
            fail(reply);
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        auto found = m_transfers.find(reply);
        if (found == m_transfers.end() || found->failed) {
            return;
        }
        found->body += reply->readAll();
        if (found->body.size() > m_options.maxBytes) {
            qCWarning(lcAvatarLoader) << "Profile picture is larger than" << m_options.maxBytes << "bytes:"
                                      << reply->url().toDisplayString();
            fail(reply);
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { complete(reply); });
}

void AvatarLoader::fail(QNetworkReply *reply)
{
    auto found = m_transfers.find(reply);
    if (found == m_transfers.end() || found->failed) {
        return;
    }
    found->failed = true;
    found->body.clear();
    // abort() emits finished, which completes the transfer as failed.
    reply->abort();
}

void AvatarLoader::complete(QNetworkReply *reply)
{
    const auto found = m_transfers.find(reply);
    if (found == m_transfers.end()) {
        return;
    }
    Transfer transfer = std::move(*found);
    m_transfers.erase(found);
    reply->deleteLater();

    if (!transfer.failed && reply->error() == QNetworkReply::NoError) {
        if (reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid()) {
            if (followRedirect(reply, transfer)) {
                return;
            }
        } else {
            transfer.body += reply->readAll();
            if (transfer.body.size() <= m_options.maxBytes) {
                decodeLater(transfer.key, transfer.body);
                startNext();
                return;
            }
        }
    } else if (!transfer.failed) {
        qCWarning(lcAvatarLoader) << "Profile picture could not be loaded:" << reply->url().toDisplayString()
                                  << reply->errorString();
    }
    finish(transfer.key, Picture{Status::Failed, {}});
    startNext();
}

bool AvatarLoader::followRedirect(QNetworkReply *reply, Transfer &transfer)
{
    const QUrl target = reply->url().resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    if (++transfer.redirects > m_options.maxRedirects) {
        qCWarning(lcAvatarLoader) << "Profile picture redirected more than" << m_options.maxRedirects
                                  << "times:" << transfer.key.url.toDisplayString();
        return false;
    }
    if (!isWebAddress(target) || !isSameServer(transfer.key.url, target)) {
        qCWarning(lcAvatarLoader) << "Profile picture redirected away from" << transfer.key.url.toDisplayString()
                                  << "to" << target.toDisplayString() << "; not followed";
        return false;
    }
    // The redirect's own body is no picture.
    transfer.body.clear();
    fetch(target, std::move(transfer));
    return true;
}

void AvatarLoader::decodeLater(const Key &key, const QByteArray &body)
{
    // The worker gets only values: the loader may be gone before it ends, and then the watcher,
    // its child, goes with it and the result is dropped.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, key] {
        watcher->deleteLater();
        const QImage image = watcher->result();
        if (image.isNull()) {
            qCWarning(lcAvatarLoader) << "Profile picture is not a readable image:" << key.url.toDisplayString();
            finish(key, Picture{Status::Failed, {}});
        } else {
            finish(key, Picture{Status::Loaded, image});
        }
    });
    watcher->setFuture(QtConcurrent::run([body, size = key.pixelSize] { return decode(body, size); }));
}

void AvatarLoader::finish(const Key &key, Picture picture)
{
    m_queued.remove(key);
    store(key, std::move(picture));
    emit finished(key.url, key.pixelSize);
}

void AvatarLoader::store(const Key &key, Picture picture)
{
    const qint64 kilobytes = picture.image.sizeInBytes() / 1024 + 1;
    m_cache.insert(key, new Picture(std::move(picture)), int(qMin<qint64>(kilobytes, m_cache.maxCost())));
}

QImage AvatarLoader::decode(const QByteArray &bytes, int pixelSize)
{
    const std::optional<DeclaredImage> declared = declaredImage(bytes);
    if (!declared) {
        qCWarning(lcAvatarLoader) << "Profile picture is not a PNG, JPEG, GIF or WebP file; not decoded";
        return {};
    }
    if (!fitsBudget(declared->width, declared->height, declared->bytesPerPixel)) {
        qCWarning(lcAvatarLoader, "Profile picture declares %lld x %lld pixels of %d bytes, over the budget of %lld "
                                  "bytes; not decoded",
            declared->width, declared->height, declared->bytesPerPixel, kMaxDeclaredBytes);
        return {};
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Only the handler of the format the bytes showed: no other plugin gets to guess.
    QImageReader reader(&buffer, declared->format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(kAllocationLimitMB);
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    // The decoder's own reading of the header must fit as well (a GIF frame may outgrow its screen).
    if (source.isValid() && !fitsBudget(source.width(), source.height(), declared->bytesPerPixel)) {
        qCWarning(lcAvatarLoader, "Profile picture is %d x %d pixels, over the budget; not decoded", source.width(),
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
    if (image.isNull()) {
        return {};
    }
    image = image.scaled(pixelSize, pixelSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect square((image.width() - pixelSize) / 2, (image.height() - pixelSize) / 2, pixelSize, pixelSize);
    return image.copy(square).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
