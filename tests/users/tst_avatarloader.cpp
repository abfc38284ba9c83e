// The profile-picture loader against a tiny HTTP server on the loopback: a picture loads and is
// decoded to the size asked for, and every way a peer's address can go wrong (missing, too slow,
// far too large, not a web address, not an image) ends as a failure without a hang.
#include "MorvendaApp/users/ui/AvatarLoader.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

namespace {

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

// Answers GET requests by path: /red.png, /missing (404), /slow (headers, then silence),
// /huge (50 MB streamed without a length), /claims-huge (a length header of 50 MB), /text.
class HttpServer : public QObject
{
public:
    HttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }

    QUrl url(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1StringView(path)));
    }

    int requests = 0;
    qint64 hugeBytesSent = 0;

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray request = socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        ++requests;
        const QByteArray path = request.split(' ').value(1);
        if (path == "/red.png") {
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

    void decodeRefusesGiganticCanvases()
    {
        // A few bytes of PNG can claim a canvas of 30000×30000 pixels (3.6 GB decoded).
        QByteArray bytes = pngBytes(QSize(1, 1), Qt::blue);
        // Patch the header's width and height (big-endian at offsets 16 and 20); the CRC no longer
        // matches, which a reader may reject too; either way no image and no crash.
        const quint32 side = qToBigEndian<quint32>(30000);
        bytes.replace(16, 4, reinterpret_cast<const char *>(&side), 4);
        bytes.replace(20, 4, reinterpret_cast<const char *>(&side), 4);
        QVERIFY(AvatarLoader::decode(bytes, 40).isNull());
        QVERIFY(AvatarLoader::decode(QByteArray("garbage"), 40).isNull());
    }
};

QTEST_MAIN(TestAvatarLoader)
#include "tst_avatarloader.moc"
