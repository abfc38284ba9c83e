// Loads the profile pictures apps report, for every view that shows one. One shared instance
// for the whole run; main thread.
//
// A picture is asked for by the view that is about to draw it, so only what is on screen loads.
// Only http and https are fetched, a few at a time, each within a time limit and a size cap
// (a peer on the local network chooses these addresses); the bytes are decoded straight to the
// size asked for, under an allocation limit. Results, failures included, stay in a memory cache
// bounded by bytes, keyed by address and size.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class AvatarLoader : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int timeoutMs = 15'000;             // whole transfer, redirects included
        qint64 maxBytes = 10 * 1024 * 1024; // body size cap
        int maxConcurrent = 4;
        qint64 cacheBytes = 48 * 1024 * 1024;
    };

    enum class Status { Loading, Loaded, Failed };

    struct Picture
    {
        Status status = Status::Loading;
        // Square, `pixelSize` on each side, the source scaled to fill it and centred.
        QImage image;
    };

    explicit AvatarLoader(QObject *parent = nullptr);
    AvatarLoader(Options options, QObject *parent = nullptr);
    ~AvatarLoader() override;

    // The picture at `url` for a square of `pixelSize` device pixels. Not yet known: starts
    // loading it and reports Loading; `finished` follows once it is Loaded or Failed.
    Picture picture(const QUrl &url, int pixelSize);

    // Decodes `bytes` into a `pixelSize` square filled by the image (aspect kept, centre kept);
    // a null image when they are no image, or would take more than the allocation limit.
    static QImage decode(const QByteArray &bytes, int pixelSize);

signals:
    void finished(const QUrl &url, int pixelSize);

private:
    struct Key
    {
        QUrl url;
        int pixelSize = 0;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0) { return qHashMulti(seed, key.url, key.pixelSize); }
    };
    struct Transfer
    {
        Key key;
        QByteArray body;
        bool failed = false;
    };

    void startNext();
    void start(const Key &key);
    void fail(QNetworkReply *reply);
    void complete(QNetworkReply *reply);
    void store(const Key &key, Picture picture);

    Options m_options;
    QNetworkAccessManager *m_network;
    QCache<Key, Picture> m_cache;
    QList<Key> m_queue;
    QSet<Key> m_queued;
    QHash<QNetworkReply *, Transfer> m_transfers;
};
