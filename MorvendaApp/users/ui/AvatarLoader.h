// Loads the profile pictures apps report, for every view that shows one. One shared instance
// for the whole run; main thread.
//
// A picture is asked for by the view that is about to draw it, so only what is on screen loads.
// Only http and https are fetched, a few at a time, each within a time limit and a size cap
// (a peer on the local network chooses these addresses); redirects are followed up to three times,
// each hop asked for once, and only to http(s) on the server first asked. Each address is
// fetched and decoded once, on the loader's own worker threads (never the application's shared
// pool, which painting and file work rely on), and each size asked for is scaled from that one
// decoded square. Results, failures included, stay in a memory cache bounded by bytes. Destroying
// the loader cancels its decodes instead of waiting for them.
#pragma once

#include <QCache>
#include <QDeadlineTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

class AvatarLoader : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int timeoutMs = 15'000;             // whole transfer, redirects included
        int maxRedirects = 3;               // same-server hops followed; one more is refused
        qint64 maxBytes = 10 * 1024 * 1024; // body size cap
        // Pictures in work at once, fetching or decoding: bounds the bodies held in memory.
        int maxConcurrent = 4;
        int decodeThreads = 2;
        // Wall-clock time one decode may take once it has started; a file within every size limit
        // can still be built to keep a decoder busy for minutes.
        int decodeBudgetMs = 3'000;
        int maxJpegScans = 64;
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
    // loading it and reports Loading; `finished` follows once it is Loaded or Failed (once for
    // all the sizes asked for meanwhile).
    Picture picture(const QUrl &url, int pixelSize);

    // Side in device pixels of the square each address is decoded to at least; larger sizes asked
    // for before the decode starts raise it, smaller ones are scaled down from it.
    static constexpr int kMinDecodedPixels = 256;

signals:
    void finished(const QUrl &url);

private:
    struct Key
    {
        QUrl url;
        int pixelSize = 0;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0) { return qHashMulti(seed, key.url, key.pixelSize); }
    };
    // One address on its way, fetched hop by hop; the deadline spans all hops.
    struct Transfer
    {
        QUrl first;
        QByteArray body;
        int redirects = 0;
        bool failed = false;
        QDeadlineTimer deadline;
    };

    using CancelFlag = std::shared_ptr<std::atomic<bool>>;

    void startNext();
    void fetch(const QUrl &url, Transfer transfer);
    void fail(QNetworkReply *reply);
    void complete(QNetworkReply *reply);
    bool followRedirect(QNetworkReply *reply, Transfer &transfer);
    void decodeLater(const QUrl &url, const QByteArray &body);
    void finish(const QUrl &url, Picture source);
    std::optional<Picture> scaledFromSource(const Key &key);

    Options m_options;
    QNetworkAccessManager *m_network;
    // Each address's decoded square (or its failure), and the sizes scaled from it.
    QCache<QUrl, Picture> m_sources;
    QCache<Key, Picture> m_scaled;
    QList<QUrl> m_queue;
    // Addresses queued, fetching or decoding, with the largest size asked for meanwhile.
    QHash<QUrl, int> m_pending;
    QHash<QNetworkReply *, Transfer> m_transfers;
    QHash<QUrl, CancelFlag> m_decodes;
    // Last: destroyed first, once every decode has been told to stop.
    QThreadPool m_pool;
};
