// Figures of session files that never finish their element: the reader's time against the size
// read (it must grow linearly, whatever the read size), the time to load "[" followed by 2 GiB of
// zeros, and how soon a cancelled load gives its worker back.
#include "MorvendaApp/session/SessionFile.h"
#include "session_common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFuture>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <vector>

using namespace bench;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// "[" and `bytes` of the digit zero: one number that never ends.
bool writeZeros(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("[");
    const QByteArray block(4 << 20, '0');
    for (qint64 written = 0; written < bytes; written += block.size()) {
        const qint64 part = std::min<qint64>(block.size(), bytes - written);
        if (file.write(block.constData(), part) != part)
            return false;
    }
    return true;
}

void linearity(const QString &dir)
{
    SessionFile::ReadControl control;
    control.chunkBytes = 64 << 10;
    std::printf("never-ending element, read 64 KiB at a time (median of 5 runs):\n");
    for (const qint64 megabytes : {8, 16, 32, 64}) {
        const QString path = dir + QStringLiteral("/never-ending-%1.json").arg(megabytes);
        if (!writeZeros(path, megabytes << 20)) {
            std::printf("  could not write %s\n", qPrintable(path));
            return;
        }
        std::vector<double> runs;
        QString error;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            const auto result = SessionFile::read(path, control);
            runs.push_back(ms(timer));
            error = result ? QStringLiteral("accepted") : result.error();
        }
        std::printf("  %3lld MB: %7.1f ms (%.2f ms per MB; range %.1f–%.1f ms): %s\n", qlonglong(megabytes),
                    median(runs), median(runs) / double(megabytes), *std::min_element(runs.begin(), runs.end()),
                    *std::max_element(runs.begin(), runs.end()), qPrintable(error));
        QFile::remove(path);
    }
}

void twoGibibytes(const QString &dir)
{
    const QString path = dir + QStringLiteral("/zeros-2g.json");
    if (!writeZeros(path, qint64(2) << 30)) {
        std::printf("could not write the 2 GiB file in %s\n", qPrintable(dir));
        QFile::remove(path);
        return;
    }
    std::vector<double> runs;
    QString error;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const auto result = SessionFile::read(path);
        runs.push_back(ms(timer));
        error = result ? QStringLiteral("accepted") : result.error();
    }
    std::printf("\"[\" and 2 GiB of zeros: median %.0f ms (range %.0f–%.0f ms over 3 runs), peak resident %.0f MB: %s\n",
                median(runs), *std::min_element(runs.begin(), runs.end()), *std::max_element(runs.begin(), runs.end()),
                double(peakResidentBytes()) / 1e6, qPrintable(error));

    // A load cancelled part of the way: the time from the cancel to the worker's return.
    std::vector<double> stops;
    for (int run = 0; run < 3; ++run) {
        std::atomic_bool cancelled = false;
        SessionFile::ReadControl control;
        control.cancelled = &cancelled;
        QFuture<void> reading = QtConcurrent::run([&] { (void)SessionFile::read(path, control); });
        QThread::msleep(300);
        QElapsedTimer timer;
        timer.start();
        cancelled = true;
        reading.waitForFinished();
        stops.push_back(ms(timer));
    }
    std::printf("cancelled 300 ms into that load: the worker returned %.1f ms later (median of 3, range %.1f–%.1f ms)\n",
                median(stops), *std::min_element(stops.begin(), stops.end()), *std::max_element(stops.begin(), stops.end()));
    QFile::remove(path);
}

} // namespace

// Writes its files under $TMPDIR (or /tmp) and removes them; "--no-2g" skips the 2 GiB file.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QDir::tempPath();
    linearity(dir);
    if (!app.arguments().contains(QStringLiteral("--no-2g")))
        twoGibibytes(dir);
    return 0;
}
