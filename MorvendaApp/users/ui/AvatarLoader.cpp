#include "AvatarLoader.h"

#include "AvatarDecoder.h"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QtConcurrent>

Q_LOGGING_CATEGORY(lcAvatarLoader, "morvenda.AvatarLoader")

namespace {

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

// Costs in kilobytes keep the totals within int for any cache size we use.
template<typename Key>
void insertPicture(QCache<Key, AvatarLoader::Picture> &cache, const Key &key, AvatarLoader::Picture picture)
{
    const qint64 kilobytes = picture.image.sizeInBytes() / 1024 + 1;
    cache.insert(key, new AvatarLoader::Picture(std::move(picture)), int(qMin<qint64>(kilobytes, cache.maxCost())));
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
    // The scaled copies are small beside their sources.
    m_sources.setMaxCost(qMax<qint64>(1, m_options.cacheBytes / 1024));
    m_scaled.setMaxCost(qMax<qint64>(1, m_options.cacheBytes / 4 / 1024));
    // Redirects are followed here, hop by hop: the network library's own following, even when each
    // hop is confirmed, fetches hops twice and loses the third.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_pool.setMaxThreadCount(qMax(1, m_options.decodeThreads));
}

AvatarLoader::~AvatarLoader()
{
    // Decodes not started are dropped, running ones stop at their next read; the pool's
    // destructor then waits only for that.
    m_pool.clear();
    for (const CancelFlag &cancel : std::as_const(m_decodes)) {
        cancel->store(true);
    }
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
    if (const Picture *scaled = m_scaled.object(key)) {
        return *scaled;
    }
    if (std::optional<Picture> picture = scaledFromSource(key)) {
        return *picture;
    }
    if (!isWebAddress(url)) {
        qCWarning(lcAvatarLoader) << "Not loading a profile picture that is not a web address:" << url.toDisplayString();
        insertPicture(m_sources, url, Picture{Status::Failed, {}});
        return Picture{Status::Failed, {}};
    }
    const auto pending = m_pending.find(url);
    if (pending != m_pending.end()) {
        *pending = qMax(*pending, key.pixelSize);
    } else {
        m_pending.insert(url, key.pixelSize);
        m_queue.append(url);
        startNext();
    }
    return Picture{};
}

std::optional<AvatarLoader::Picture> AvatarLoader::scaledFromSource(const Key &key)
{
    const Picture *source = m_sources.object(key.url);
    if (!source) {
        return std::nullopt;
    }
    if (source->status != Status::Loaded) {
        return *source;
    }
    // The source is a square already, at least as large as anything asked for before it loaded.
    Picture scaled{Status::Loaded,
        source->image.width() == key.pixelSize
            ? source->image
            : source->image.scaled(key.pixelSize, key.pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)};
    insertPicture(m_scaled, key, scaled);
    return scaled;
}

void AvatarLoader::startNext()
{
    while (m_transfers.size() + m_decodes.size() < m_options.maxConcurrent && !m_queue.isEmpty()) {
        // The newest request first: it is what the developer scrolled to last.
        const QUrl url = m_queue.takeLast();
        fetch(url, Transfer{url, {}, 0, false, QDeadlineTimer(m_options.timeoutMs)});
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
                decodeLater(transfer.first, transfer.body);
                startNext();
                return;
            }
        }
    } else if (!transfer.failed) {
        qCWarning(lcAvatarLoader) << "Profile picture could not be loaded:" << reply->url().toDisplayString()
                                  << reply->errorString();
    }
    finish(transfer.first, Picture{Status::Failed, {}});
    startNext();
}

bool AvatarLoader::followRedirect(QNetworkReply *reply, Transfer &transfer)
{
    const QUrl target = reply->url().resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    if (++transfer.redirects > m_options.maxRedirects) {
        qCWarning(lcAvatarLoader) << "Profile picture redirected more than" << m_options.maxRedirects
                                  << "times:" << transfer.first.toDisplayString();
        return false;
    }
    if (!isWebAddress(target) || !isSameServer(transfer.first, target)) {
        qCWarning(lcAvatarLoader) << "Profile picture redirected away from" << transfer.first.toDisplayString() << "to"
                                  << target.toDisplayString() << "; not followed";
        return false;
    }
    // The redirect's own body is no picture.
    transfer.body.clear();
    fetch(target, std::move(transfer));
    return true;
}

void AvatarLoader::decodeLater(const QUrl &url, const QByteArray &body)
{
    const int pixelSize = qMax(kMinDecodedPixels, m_pending.value(url));
    const CancelFlag cancel = std::make_shared<std::atomic<bool>>(false);
    m_decodes.insert(url, cancel);
    // The worker gets only values: the loader may be gone before it ends, and then the watcher,
    // its child, goes with it and the result is dropped.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, url] {
        watcher->deleteLater();
        m_decodes.remove(url);
        const QImage image = watcher->result();
        if (image.isNull()) {
            qCWarning(lcAvatarLoader) << "Profile picture is not a readable image:" << url.toDisplayString();
            finish(url, Picture{Status::Failed, {}});
        } else {
            finish(url, Picture{Status::Loaded, image});
        }
        startNext();
    });
    const int budgetMs = m_options.decodeBudgetMs;
    const int maxScans = m_options.maxJpegScans;
    watcher->setFuture(QtConcurrent::run(&m_pool, [body, pixelSize, budgetMs, maxScans, cancel] {
        // The budget counts from the start of this decode, not from the time it waited its turn.
        return AvatarDecoder::decode(body, pixelSize, {maxScans, QDeadlineTimer(budgetMs), cancel.get()});
    }));
}

void AvatarLoader::finish(const QUrl &url, Picture source)
{
    m_pending.remove(url);
    insertPicture(m_sources, url, std::move(source));
    emit finished(url);
}
