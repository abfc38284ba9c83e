#include "AvatarLoader.h"

#include <QBuffer>
#include <QImageReader>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

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
    m_network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
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
        start(m_queue.takeLast());
    }
}

void AvatarLoader::start(const Key &key)
{
    QNetworkRequest request(key.url);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    QNetworkReply *reply = m_network->get(request);
    m_transfers.insert(reply, Transfer{key, {}, false});

    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, reply] {
        qCWarning(lcAvatarLoader) << "Profile picture took longer than" << m_options.timeoutMs << "ms:"
                                  << reply->url().toDisplayString();
        fail(reply);
    });
    deadline->start(m_options.timeoutMs);

    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl &target) {
        if (isWebAddress(target)) {
            emit reply->redirectAllowed();
        } else {
            qCWarning(lcAvatarLoader) << "Profile picture redirected off the web:" << target.toDisplayString();
            fail(reply);
        }
    });
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

    Picture picture{Status::Failed, {}};
    if (!transfer.failed && reply->error() == QNetworkReply::NoError) {
        transfer.body += reply->readAll();
        if (transfer.body.size() <= m_options.maxBytes) {
            picture.image = decode(transfer.body, transfer.key.pixelSize);
        }
        if (!picture.image.isNull()) {
            picture.status = Status::Loaded;
        } else {
            qCWarning(lcAvatarLoader) << "Profile picture is not a readable image:" << reply->url().toDisplayString();
        }
    } else if (!transfer.failed) {
        qCWarning(lcAvatarLoader) << "Profile picture could not be loaded:" << reply->url().toDisplayString()
                                  << reply->errorString();
    }
    m_queued.remove(transfer.key);
    store(transfer.key, picture);
    emit finished(transfer.key.url, transfer.key.pixelSize);
    startNext();
}

void AvatarLoader::store(const Key &key, Picture picture)
{
    const qint64 kilobytes = picture.image.sizeInBytes() / 1024 + 1;
    m_cache.insert(key, new Picture(std::move(picture)), int(qMin<qint64>(kilobytes, m_cache.maxCost())));
}

QImage AvatarLoader::decode(const QByteArray &bytes, int pixelSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kAllocationLimitMB);
    reader.setAutoTransform(true);
    const QSize source = reader.size();
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
