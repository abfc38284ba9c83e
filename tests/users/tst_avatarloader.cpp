// The profile-picture loader against a tiny HTTP server on the loopback: a picture loads once and
// is scaled to every size asked for, and every way a peer's address can go wrong (missing, too
// slow, far too large, not a web address, not an image, redirected away, a hostile file, a file
// built to keep the decoder busy) ends as a failure without a hang, without touching local files,
// without a burst of memory or of processor time.
#include "MorvendaApp/users/ui/AvatarDecoder.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"

#include "../support/BusyJpeg.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QtEndian>

#include <ctime>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    const quint32 swapped = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&swapped), 4);
}

QByteArray littleEndian(quint32 value)
{
    const quint32 swapped = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&swapped), 4);
}

// The raw deflate stream of `data` (zlib's framing taken off).
QByteArray deflated(const QByteArray &data)
{
    return qCompress(data, 9).mid(6).chopped(4);
}

// A well-formed RGBA PNG, checksums included, every pixel transparent black.
QByteArray validPng(quint32 width, quint32 height)
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) -> QByteArray {
        return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
    };
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x06\x00\x00\x00", 5);
    // Each row: filter byte 0, then 4 bytes a pixel.
    const QByteArray rows(qsizetype(height) * (1 + 4 * qsizetype(width)), '\0');
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", qCompress(rows, 9).mid(4))
        + chunk("IEND", {});
}

// A few hundred bytes of JPEG whose frame header claims `width` × `height` pixels of
// `components` components (4: CMYK), baseline or progressive; the scan data is a stub.
QByteArray jpegDeclaring(quint16 width, quint16 height, int components, bool progressive)
{
    QByteArray bytes("\xFF\xD8", 2);
    const auto segment = [&bytes](uchar marker, const QByteArray &payload) {
        const quint16 length = quint16(payload.size() + 2);
        bytes += char(0xFF);
        bytes += char(marker);
        bytes += char(length >> 8);
        bytes += char(length & 0xFF);
        bytes += payload;
    };
    segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\1'));
    QByteArray frame;
    for (const int value : {8, height >> 8, height & 0xFF, width >> 8, width & 0xFF, components}) {
        frame += char(value);
    }
    for (int id = 1; id <= components; ++id) {
        frame += char(id);
        frame += char(0x11);
        frame += char(0);
    }
    segment(progressive ? 0xC2 : 0xC0, frame);
    // One code of one bit in each table: DC difference 0, end of block.
    const QByteArray oneCode = QByteArray(1, '\1') + QByteArray(15, '\0') + QByteArray(1, '\0');
    segment(0xC4, QByteArray(1, '\x00') + oneCode);
    segment(0xC4, QByteArray(1, '\x10') + oneCode);
    QByteArray scan(1, char(components));
    for (int id = 1; id <= components; ++id) {
        scan += char(id);
        scan += char(0);
    }
    scan += char(0);
    scan += char(progressive ? 0 : 63);
    scan += char(0);
    segment(0xDA, scan);
    return bytes + QByteArray(256, '\0') + QByteArray("\xFF\xD9", 2);
}

QByteArray gzipped(const QByteArray &data)
{
    return QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10) + deflated(data) + littleEndian(crc32(data))
        + littleEndian(quint32(data.size()));
}

QByteArray svgShowing(const QByteArray &imagePath)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"64\" "
           "height=\"64\"><rect width=\"64\" height=\"64\" fill=\"red\"/><image width=\"64\" height=\"64\" "
           "xlink:href=\""
        + imagePath + "\"/></svg>";
}

// The process's peak resident memory so far, in kilobytes.
qint64 peakResidentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// Notices anybody opening the named pipe at `path` for reading, and lets that reader go at once
// (it sees the end of the file) instead of blocking for ever.
class PipeWatch
{
public:
    explicit PipeWatch(const QByteArray &path)
        : m_thread([this, path] {
            while (!m_stop) {
                const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    m_opened = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        })
    {
    }
    ~PipeWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    bool opened() const { return m_opened; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_thread;
};

QByteArray pngBytes(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Processor time of the whole process, all threads, in milliseconds.
qint64 processCpuMs()
{
    return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

// Answers GET requests by path: /red.png, /missing (404), /slow (headers, then silence),
// /huge (50 MB streamed without a length), /claims-huge (a length header of 50 MB), /text,
// /chain/N (N redirects, one after another, to /red.png).
class HttpServer : public QObject
{
public:
    HttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
            }
        });
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }

    QUrl url(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1StringView(path)));
    }

    quint16 port() const { return m_server.serverPort(); }

    int requests = 0;
    qint64 hugeBytesSent = 0;
    // Bodies served as they are (path → bytes), and redirects (path → Location).
    QHash<QByteArray, QByteArray> files;
    QHash<QByteArray, QByteArray> redirects;

private:
    // A request may arrive in pieces, and a kept-alive connection may bring several at once.
    void answer(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0; end = pending.indexOf("\r\n\r\n")) {
            const QByteArray request = pending.left(end);
            pending.remove(0, end + 4);
            answerOne(socket, request.split(' ').value(1));
        }
    }

    void answerOne(QTcpSocket *socket, const QByteArray &path)
    {
        ++requests;
        if (files.contains(path)) {
            reply(socket, "200 OK", "image/png", files.value(path));
        } else if (redirects.contains(path)) {
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + redirects.value(path) + "\r\nContent-Length: 0\r\n\r\n");
        } else if (path.startsWith("/chain/")) {
            const int left = path.mid(7).toInt();
            const QByteArray next = left > 1 ? "/chain/" + QByteArray::number(left - 1) : QByteArray("/red.png");
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + next + "\r\nContent-Length: 0\r\n\r\n");
        } else if (path == "/red.png") {
            reply(socket, "200 OK", "image/png", pngBytes(QSize(200, 100), Qt::red));
        } else if (path == "/text") {
            reply(socket, "200 OK", "text/plain", "not a picture");
        } else if (path == "/slow") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 1000\r\n\r\n");
        } else if (path == "/claims-huge") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 52428800\r\n\r\n");
        } else if (path == "/huge") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n\r\n");
            streamHuge(socket);
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { streamHuge(socket); });
        } else {
            reply(socket, "404 Not Found", "text/plain", "gone");
        }
    }

    void streamHuge(QTcpSocket *socket)
    {
        constexpr qint64 total = 50 * 1024 * 1024;
        while (socket->bytesToWrite() < 1024 * 1024 && hugeBytesSent < total
            && socket->state() == QAbstractSocket::ConnectedState) {
            hugeBytesSent += socket->write(QByteArray(256 * 1024, 'x'));
        }
    }

    static void reply(QTcpSocket *socket, const char *status, const char *type, const QByteArray &body)
    {
        socket->write(QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " + type
            + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }

    // Before the server: its sockets, going with it, still remove their entries.
    QHash<QTcpSocket *, QByteArray> m_pending;
    QTcpServer m_server;
};

} // namespace

class TestAvatarLoader : public QObject
{
    Q_OBJECT

private slots:
    void aPictureLoadsDecodedToTheSquareAndIsCached()
    {
        HttpServer server;
        AvatarLoader loader;
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        const QUrl url = server.url("/red.png");

        QCOMPARE(loader.picture(url, 40).status, AvatarLoader::Status::Loading);
        // Asking again while it loads neither fails nor starts a second transfer.
        QCOMPARE(loader.picture(url, 40).status, AvatarLoader::Status::Loading);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toUrl(), url);

        const AvatarLoader::Picture picture = loader.picture(url, 40);
        QCOMPARE(picture.status, AvatarLoader::Status::Loaded);
        // A 200×100 picture fills a 40 square: scaled to 80×40, the middle kept.
        QCOMPARE(picture.image.size(), QSize(40, 40));
        QCOMPARE(picture.image.pixelColor(20, 20), QColor(Qt::red));
        QCOMPARE(server.requests, 1);
    }

    void failuresEndTheLoadingState_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addRow("a missing picture (404)") << QByteArray("/missing");
        QTest::addRow("a reply slower than the time limit") << QByteArray("/slow");
        QTest::addRow("a 50 MB body without a length, over the cap") << QByteArray("/huge");
        QTest::addRow("a length header over the cap") << QByteArray("/claims-huge");
        QTest::addRow("a body that is no image") << QByteArray("/text");
    }

    void failuresEndTheLoadingState()
    {
        QFETCH(QByteArray, path);
        HttpServer server;
        AvatarLoader::Options options;
        options.timeoutMs = 1500;
        AvatarLoader loader(options);
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        const QUrl url = server.url(path.constData());

        QCOMPARE(loader.picture(url, 30).status, AvatarLoader::Status::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(loader.picture(url, 30).status, AvatarLoader::Status::Failed);
        // A failure is remembered: it is not fetched again at every repaint.
        QCOMPARE(server.requests, 1);
        // The huge body was cut off soon after the cap, not read to its end.
        QVERIFY(server.hugeBytesSent < 40 * 1024 * 1024);
    }

    void addressesOffTheWebAreRefusedWithoutAnyRequest_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addRow("the endless device file") << QUrl(QStringLiteral("file:///dev/zero"));
        QTest::addRow("a data address") << QUrl(QStringLiteral("data:image/png;base64,AAAA"));
        QTest::addRow("a relative address") << QUrl(QStringLiteral("picture.png"));
        QTest::addRow("an empty address") << QUrl();
    }

    void addressesOffTheWebAreRefusedWithoutAnyRequest()
    {
        QFETCH(QUrl, url);
        AvatarLoader loader;
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        QCOMPARE(loader.picture(url, 30).status, AvatarLoader::Status::Failed);
        QCOMPARE(loader.picture(url, 30).status, AvatarLoader::Status::Failed);
        QCOMPARE(finished.size(), 0);
    }

    void onlyAFewLoadAtOnce()
    {
        HttpServer server;
        AvatarLoader::Options options;
        options.timeoutMs = 800;
        options.maxConcurrent = 1;
        AvatarLoader loader(options);
        QSignalSpy finished(&loader, &AvatarLoader::finished);

        // The slow transfer holds the only place; the picture asked for next starts after it ends.
        loader.picture(server.url("/slow"), 30);
        loader.picture(server.url("/red.png"), 30);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);
        QCOMPARE(finished.at(0).at(0).toUrl(), server.url("/slow"));
        QCOMPARE(finished.at(1).at(0).toUrl(), server.url("/red.png"));
        QCOMPARE(loader.picture(server.url("/red.png"), 30).status, AvatarLoader::Status::Loaded);
    }

    // The four raster formats are told by their bytes and decoded, whatever the address says.
    void decodesEachRasterFormat_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto written = [](const char *format, int quality = -1) {
            QImage image(QSize(64, 32), QImage::Format_RGB32);
            image.fill(Qt::blue);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, format, quality);
            return bytes;
        };
        QTest::addRow("PNG") << written("PNG");
        QTest::addRow("JPEG") << written("JPEG");
        QTest::addRow("WebP") << written("WEBP");
        QTest::addRow("WebP, lossless") << written("WEBP", 100);
        // No GIF writer at hand: the smallest GIF, one pixel.
        QTest::addRow("GIF") << QByteArray::fromHex("47494638396101000100800000000000ffffff2c00000000010001000002024401003b");
    }

    void decodesEachRasterFormat()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(AvatarDecoder::decode(bytes, 40).size(), QSize(40, 40));
    }

    void decodeRefusesCanvasesOverTheBudget()
    {
        // Well-formed files, checksums right: the same writer's file within the budget decodes,
        // so only the size refuses the larger one (5000 × 5000 RGBA, 100 MB decoded, 100 kB sent).
        const QByteArray within = validPng(1000, 1000);
        QCOMPARE(AvatarDecoder::decode(within, 40).size(), QSize(40, 40));
        QVERIFY(AvatarDecoder::decode(validPng(5000, 5000), 40).isNull());
        QVERIFY(AvatarDecoder::decode(QByteArray("garbage"), 40).isNull());
        // A JPEG within the budget gets past the size check to the decoder; over it, not.
        QVERIFY(AvatarDecoder::decode(jpegDeclaring(8000, 8000, 1, false), 40).isNull());
    }

    void hostilePicturesEndGreyWithoutStallOrMemory_data()
    {
        QTest::addColumn<QByteArray>("body");
        // Filled in by the test: the SVG names a pipe made there.
        QTest::addRow("an SVG naming a named pipe") << QByteArray("pipe");
        QTest::addRow("a compressed SVG") << gzipped(svgShowing("data:,") + "<!--" + QByteArray(8 << 20, 'a') + "-->");
        QTest::addRow("a progressive JPEG declaring 30000 x 30000")
            << jpegDeclaring(30000, 30000, 1, true);
        QTest::addRow("a CMYK JPEG declaring 32760 x 32760") << jpegDeclaring(32760, 32760, 4, false);
        QTest::addRow("a valid PNG over the budget") << validPng(5000, 5000);
    }

    void hostilePicturesEndGreyWithoutStallOrMemory()
    {
        QFETCH(QByteArray, body);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QByteArray pipe = QFile::encodeName(folder.filePath(QStringLiteral("pipe")));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        if (body == "pipe") {
            body = svgShowing(pipe);
        }
        PipeWatch watch(pipe);

        HttpServer server;
        server.files.insert("/picture", body);
        AvatarLoader loader;
        // Plugins and threads warmed up before the peak is taken.
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        loader.picture(server.url("/red.png"), 40);
        QTRY_COMPARE(finished.size(), 1);
        const qint64 peakBefore = peakResidentKB();

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(0);
        QCOMPARE(loader.picture(server.url("/picture"), 40).status, AvatarLoader::Status::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);

        QCOMPARE(loader.picture(server.url("/picture"), 40).status, AvatarLoader::Status::Failed);
        QVERIFY(ticks > 0);
        QVERIFY2(!watch.opened(), "the picture opened a local file");
        const qint64 grownKB = peakResidentKB() - peakBefore;
        QVERIFY2(grownKB < 64 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(grownKB)));
    }

    void redirects_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<bool>("loads");
        // Every hop is asked for once: the first request, each redirect followed, and no more.
        QTest::addColumn<int>("requests");
        // The warning that says why it was not followed, where one is certain.
        QTest::addColumn<QString>("refusal");
        // "%1" is this server's port, "%2" another server's.
        QTest::addRow("within the same server") << QByteArray("/red.png") << true << 2 << QString();
        QTest::addRow("to the same server by its full address")
            << QByteArray("http://127.0.0.1:%1/red.png") << true << 2 << QString();
        QTest::addRow("two hops") << QByteArray("/chain/1") << true << 3 << QString();
        QTest::addRow("three hops") << QByteArray("/chain/2") << true << 4 << QString();
        QTest::addRow("a fourth hop is refused")
            << QByteArray("/chain/3") << false << 4 << QStringLiteral("redirected more than 3 times");
        QTest::addRow("to another host")
            << QByteArray("http://localhost:%2/red.png") << false << 1 << QStringLiteral("redirected away");
        QTest::addRow("to another port of the same host")
            << QByteArray("http://127.0.0.1:%2/red.png") << false << 1 << QStringLiteral("redirected away");
        QTest::addRow("to a local file") << QByteArray("file:///etc/hostname") << false << 1
                                         << QStringLiteral("redirected away");
        // The network library alone would go round fifty times.
        QTest::addRow("round in a circle")
            << QByteArray("/start") << false << 4 << QStringLiteral("redirected more than 3 times");
    }

    void redirects()
    {
        QFETCH(QByteArray, location);
        QFETCH(bool, loads);
        QFETCH(int, requests);
        QFETCH(QString, refusal);
        HttpServer server;
        HttpServer other;
        server.redirects.insert("/start", location.replace("%1", QByteArray::number(server.port()))
                                              .replace("%2", QByteArray::number(other.port())));
        AvatarLoader::Options options;
        options.maxRedirects = 3;
        AvatarLoader loader(options);
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        if (!refusal.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(refusal));
        }

        loader.picture(server.url("/start"), 30);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(loader.picture(server.url("/start"), 30).status,
            loads ? AvatarLoader::Status::Loaded : AvatarLoader::Status::Failed);
        QCOMPARE(other.requests, 0);
        QCOMPARE(server.requests, requests);
    }

    // The connection row, the stored-user row and the panel ask for one address at three sizes.
    void everySizeIsScaledFromOneFetchAndDecode()
    {
        HttpServer server;
        AvatarLoader loader;
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        const QUrl url = server.url("/red.png");
        for (const int size : {30, 40, 120}) {
            QCOMPARE(loader.picture(url, size).status, AvatarLoader::Status::Loading);
        }
        QTRY_COMPARE(finished.size(), 1);
        // A size first asked for after the load is there at once, without another request.
        for (const int size : {30, 40, 120, 64}) {
            const AvatarLoader::Picture picture = loader.picture(url, size);
            QCOMPARE(picture.status, AvatarLoader::Status::Loaded);
            QCOMPARE(picture.image.size(), QSize(size, size));
            QCOMPARE(picture.image.pixelColor(size / 2, size / 2), QColor(Qt::red));
        }
        QCOMPARE(server.requests, 1);
        QCOMPARE(finished.size(), 1);
    }

    // The raster engine paints antialiased shapes on the application's shared threads, and saving
    // and opening files run there too: a decode must never hold one of them, whatever it costs.
    void paintingNeedsNoThreadADecodeHolds()
    {
        // A machine of two processors.
        QThreadPool *shared = QThreadPool::globalInstance();
        const int sharedThreads = shared->maxThreadCount();
        shared->setMaxThreadCount(2);
        const auto restore = qScopeGuard([&] { shared->setMaxThreadCount(sharedThreads); });
        HttpServer server;
        AvatarLoader::Options options;
        options.maxJpegScans = 1'000'000;
        options.decodeBudgetMs = 600'000;
        // Decodes of tens of seconds each, as many as run at once.
        const QByteArray slow = busyProgressiveJpeg(3000);
        auto loader = std::make_unique<AvatarLoader>(options);
        const qint64 cpuBefore = processCpuMs();
        for (int app = 0; app < options.maxConcurrent; ++app) {
            const QByteArray path = "/slow" + QByteArray::number(app) + ".jpg";
            server.files.insert(path, slow);
            loader->picture(server.url(path.constData()), 30);
        }
        QTRY_VERIFY_WITH_TIMEOUT(processCpuMs() - cpuBefore > 500, 20000);

        QImage canvas(QSize(600, 600), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QElapsedTimer painting;
        painting.start();
        {
            QPainter painter(&canvas);
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath circle;
            circle.addEllipse(QRectF(canvas.rect()));
            painter.fillPath(circle, QColor(128, 128, 128, 128));
        }
        const qint64 paintMs = painting.elapsed();
        loader.reset();
        shared->waitForDone();
        QVERIFY2(paintMs < 5000, qPrintable(QString::number(paintMs)));
        QCOMPARE(canvas.pixelColor(300, 300), QColor(191, 191, 191));
    }

    void jpegsBuiltToKeepTheDecoderBusyEndGrey_data()
    {
        QTest::addColumn<int>("scans");
        QTest::addColumn<int>("scanBytes");
        QTest::addRow("5,000 extra scans of 55 bytes") << 5000 << 55;
        QTest::addRow("100,000 extra scans of 10 bytes") << 100'000 << 10;
    }

    // Valid files within the byte cap and the memory budget, which an unguarded decoder walks
    // for minutes: they end grey within seconds, the event loop going on, little processor time spent.
    void jpegsBuiltToKeepTheDecoderBusyEndGrey()
    {
        QFETCH(int, scans);
        QFETCH(int, scanBytes);
        HttpServer server;
        server.files.insert("/busy.jpg", busyProgressiveJpeg(scans, scanBytes));
        AvatarLoader loader;
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("JPEG of \\d+ scans")));
        const qint64 cpuBefore = processCpuMs();
        QElapsedTimer elapsed;
        elapsed.start();

        QCOMPARE(loader.picture(server.url("/busy.jpg"), 30).status, AvatarLoader::Status::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        QCOMPARE(loader.picture(server.url("/busy.jpg"), 30).status, AvatarLoader::Status::Failed);
        const qint64 cpuMs = processCpuMs() - cpuBefore;
        qInfo("grey after %lld ms, %lld ms of processor time", elapsed.elapsed(), cpuMs);
        QVERIFY2(ticks >= elapsed.elapsed() / 50, qPrintable(QString::number(ticks)));
        QVERIFY2(cpuMs < 2000, qPrintable(QString::number(cpuMs)));
    }

    void aDecodeIsStoppedAtItsTimeBudget_data()
    {
        QTest::addColumn<int>("budgetMs");
        QTest::addColumn<bool>("loads");
        // About a second of decoding: 56 scans, within the scan limit.
        QTest::addRow("within the budget") << 30'000 << true;
        QTest::addRow("past the budget") << 100 << false;
    }

    void aDecodeIsStoppedAtItsTimeBudget()
    {
        QFETCH(int, budgetMs);
        QFETCH(bool, loads);
        HttpServer server;
        server.files.insert("/slow.jpg", busyProgressiveJpeg(50, 10));
        AvatarLoader::Options options;
        options.decodeBudgetMs = budgetMs;
        AvatarLoader loader(options);
        QSignalSpy finished(&loader, &AvatarLoader::finished);
        if (!loads) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("took too long to decode")));
        }
        loader.picture(server.url("/slow.jpg"), 30);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QCOMPARE(loader.picture(server.url("/slow.jpg"), 30).status,
            loads ? AvatarLoader::Status::Loaded : AvatarLoader::Status::Failed);
    }

    // Quitting destroys the loader: it must not wait for a decode to run its course.
    void destroyingTheLoaderStopsItsDecodes()
    {
        HttpServer server;
        // Tens of seconds of decoding, once the scan limit and the time budget are lifted.
        server.files.insert("/slow.jpg", busyProgressiveJpeg(3000, 10));
        AvatarLoader::Options options;
        options.maxJpegScans = 1'000'000;
        options.decodeBudgetMs = 600'000;
        auto loader = std::make_unique<AvatarLoader>(options);
        const qint64 cpuBefore = processCpuMs();
        loader->picture(server.url("/slow.jpg"), 30);
        // Decoding has begun once the process spends processor time of its own.
        QTRY_VERIFY_WITH_TIMEOUT(processCpuMs() - cpuBefore > 500, 20000);

        QElapsedTimer elapsed;
        elapsed.start();
        loader.reset();
        qInfo("destroyed in %lld ms", elapsed.elapsed());
        QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
    }
};

QTEST_MAIN(TestAvatarLoader)
#include "tst_avatarloader.moc"
