// Profile pictures built to keep a decoder busy, as the developer meets them: apps report users
// whose pictures are valid 7000 × 7000 progressive greyscale JPEGs (within the byte cap and the
// memory budget) padded with thousands of tiny scans, served over loopback. A window shows each
// user's picture at the connection row's size and the first one at the panel's, and repaints an
// antialiased circle every 16 ms meanwhile. Prints the time until every picture is grey, the
// processor time the process spent meanwhile, the longest wait between two paints, and how long
// destroying the loader takes (as at quit) while decodes are under way.
// Usage: users_pictures [apps] [scans] [scan bytes]   (defaults 12 5000 55; headless:
// QT_QPA_PLATFORM=offscreen; `taskset -c 0,1` for a machine of two processors)
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/UserImages.h"

#include "bench/BenchSupport.h"
#include "tests/support/BusyJpeg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

qint64 processCpuMs()
{
    return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

// Serves `body` for every GET, kept-alive connections included.
class PictureServer : public QObject
{
public:
    explicit PictureServer(QByteArray body)
        : m_body(std::move(body))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
                    for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0; end = pending.indexOf("\r\n\r\n")) {
                        pending.remove(0, end + 4);
                        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: "
                            + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
                    }
                    socket->setProperty("pending", pending);
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    PictureServer(const PictureServer &) = delete;
    QString url(int app) const { return QStringLiteral("http://127.0.0.1:%1/user%2.jpg").arg(m_server.serverPort()).arg(app); }

private:
    QByteArray m_body;
    QTcpServer m_server;
};

// Repaints an antialiased circle as large as itself on every frame, as the lists paint avatars.
class Canvas : public QWidget
{
public:
    QElapsedTimer clock;
    qint64 lastPaint = -1;
    qint64 longestGap = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath circle;
        circle.addEllipse(QRectF(rect()));
        painter.fillPath(circle, QColor(128, 128, 128, 128));
        const qint64 now = clock.elapsed();
        if (lastPaint >= 0) {
            longestGap = qMax(longestGap, now - lastPaint);
        }
        lastPaint = now;
    }
};

User userWith(const QString &picture)
{
    return User::withTags(QStringLiteral("Ada"), QStringLiteral("u_ada"), std::nullopt, {}, Url::fromText(picture),
        false, false, false, {}, std::nullopt, std::nullopt);
}


// One window of `apps` connection rows and the panel over the pictures `server` serves: the time
// until every picture has ended (grey or loaded), or, with `quitAfterMs`, how long destroying the
// loader takes that long after the pictures were asked for.
void run(const PictureServer &server, int apps, int quitAfterMs = -1)
{
    auto loader = std::make_unique<AvatarLoader>();
    QWidget window;
    auto *grid = new QGridLayout(&window);
    auto *canvas = new Canvas;
    canvas->setMinimumSize(900, 600);
    grid->addWidget(canvas, 0, 0, 1, apps + 1);
    int ended = 0;
    QObject::connect(loader.get(), &AvatarLoader::finished, &window, [&ended] { ++ended; });
    for (int i = 0; i < apps; ++i) {
        auto *row = new UserImages(*loader, 30);
        row->setUser(userWith(server.url(i)));
        grid->addWidget(row, 1, i);
    }
    auto *panel = new UserImages(*loader, 120);
    panel->setUser(userWith(server.url(0)));
    grid->addWidget(panel, 1, apps);
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, canvas, qOverload<>(&QWidget::update));
    frames.start(16);

    const qint64 cpuBefore = processCpuMs();
    canvas->clock.start();
    window.show();
    if (quitAfterMs < 0) {
        const bool done = bench::waitFor([&] { return ended >= apps; }, 600'000);
        const qint64 elapsedMs = canvas->clock.elapsed();
        const qint64 cpuMs = processCpuMs() - cpuBefore;
        int loaded = 0;
        for (int i = 0; i < apps; ++i) {
            loaded += loader->picture(QUrl(server.url(i)), 30).status == AvatarLoader::Status::Loaded;
        }
        std::printf("  all %d pictures %s after %lld ms (%d loaded, the rest grey); processor time %lld ms; longest "
                    "wait between paints %lld ms\n",
            apps, done ? "ended" : "STILL LOADING", elapsedMs, loaded, cpuMs, canvas->longestGap);
        return;
    }
    bench::waitFor([] { return false; }, quitAfterMs);
    QElapsedTimer destroy;
    destroy.start();
    loader.reset();
    std::printf("  loader destroyed %d ms after the pictures were asked for, %d of %d ended: %lld ms\n", quitAfterMs,
        ended, apps, destroy.elapsed());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int apps = argc > 1 ? std::atoi(argv[1]) : 12;
    const int scans = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int scanBytes = argc > 3 ? qMax(10, std::atoi(argv[3])) : 55;
    std::printf("%d apps; %d processors\n", apps, QThread::idealThreadCount());

    // The worst file within the limits: 64 scans in all, each a pass over the whole image.
    for (const auto &[extra, bytes] : {std::pair{scans, scanBytes}, std::pair{58, 10}}) {
        const QByteArray picture = busyProgressiveJpeg(extra, bytes);
        const PictureServer server(picture);
        std::printf("7000 x 7000 progressive grey JPEG + %d scans of %d bytes (%lld bytes):\n", extra, bytes,
            (long long)picture.size());
        run(server, apps);
        run(server, apps, 300);
    }
    return 0;
}
