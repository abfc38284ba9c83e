// Figures of session files: save and open speed for 100,000 exchanges, beside simdjson's bare
// parse of the same file in the same run, and the peak memory of an open.
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/SessionFile.h"
#include "session_common.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <simdjson.h>

#include <algorithm>
#include <vector>

using namespace bench;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double mbPerSecond(qint64 bytes, double milliseconds)
{
    return double(bytes) / 1e6 / (milliseconds / 1000.0);
}

} // namespace

// Opens the file once and prints the growth of resident memory at its peak.
int openPeak(const QString &path)
{
    const qint64 fileSize = QFileInfo(path).size();
    const qint64 base = residentBytes();
    QElapsedTimer timer;
    timer.start();
    auto payloads = SessionFile::read(path);
    const double readMs = ms(timer);
    const qint64 afterRead = peakResidentBytes();
    MessageRepository repository;
    FileHolder holder;
    timer.restart();
    SessionFile::apply(*payloads, SessionFile::peerName(path), repository, holder);
    const double applyMs = ms(timer);
    payloads->clear();
    const qint64 afterApply = peakResidentBytes();
    std::printf("open: apply %d exchanges in one batch on the main thread: %.0f ms (read was %.0f ms)\n",
                int(repository.exchangeCount()), applyMs, readMs);
    std::printf("open: peak memory growth %.2fx the file size while reading, %.2fx with the exchanges stored "
                "(%.0f MB resident at the end)\n",
                double(afterRead - base) / double(fileSize), double(afterApply - base) / double(fileSize),
                residentBytes() / 1e6);
    return 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open-peak") == 0)
        return openPeak(QString::fromLocal8Bit(argv[2]));
    const int exchanges = 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));

    qint64 fileSize = 0;
    {
        MessageRepository repository;
        for (int i = 0; i < exchanges; ++i) {
            repository.addRequest(request(i, body(1024, i)), QStringLiteral("Shop"));
            repository.addResponse(response(i, body(2048, i + 1), quint32(i)), QStringLiteral("Shop"));
        }
        const QList<Exchange> timeline = repository.currentTimeline();
        std::vector<double> save;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            if (!SessionFile::write(timeline, path)) {
                std::printf("save failed\n");
                return 1;
            }
            save.push_back(ms(timer));
        }
        fileSize = QFileInfo(path).size();
        std::printf("save: %d exchanges, %.1f MB: median %.0f ms, %.0f MB/s\n", exchanges, fileSize / 1e6,
                    median(save), mbPerSecond(fileSize, median(save)));
    }

    std::vector<double> raw;
    {
        simdjson::padded_string json;
        if (simdjson::padded_string::load(path.toStdString()).get(json) != simdjson::SUCCESS) {
            std::printf("simdjson could not load the file\n");
            return 1;
        }
        simdjson::dom::parser parser;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            simdjson::dom::element root;
            if (parser.parse(json).get(root) != simdjson::SUCCESS) {
                std::printf("simdjson could not parse the file\n");
                return 1;
            }
            raw.push_back(ms(timer));
        }
    }
    std::printf("simdjson bare parse (file already in memory): median %.0f ms, %.0f MB/s\n", median(raw),
                mbPerSecond(fileSize, median(raw)));

    std::vector<double> open;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        const auto payloads = SessionFile::read(path);
        open.push_back(ms(timer));
        if (!payloads) {
            std::printf("open failed: %s\n", qPrintable(payloads.error()));
            return 1;
        }
    }
    std::printf("open (read + decode, worker thread): median %.0f ms, %.0f MB/s = %.0f%% of the bare parse speed\n",
                median(open), mbPerSecond(fileSize, median(open)), 100.0 * median(raw) / median(open));

    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        std::vector<double> decode;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            const auto payloads = SessionFile::parse(bytes);
            decode.push_back(ms(timer));
        }
        std::printf("open: decode alone (bytes in memory): median %.0f ms, %.0f MB/s = %.0f%% of the bare parse speed\n",
                    median(decode), mbPerSecond(fileSize, median(decode)), 100.0 * median(raw) / median(decode));
    }

    // Peak memory in a fresh process, so memory freed by the rounds above does not hide growth.
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    std::fflush(stdout);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-peak"), path});
    child.waitForFinished(-1);
    return 0;
}
