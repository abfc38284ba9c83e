// Peak memory of decoding one large frame, by the shape of its JSON: each shape is built and
// decoded in a child process of its own, which reports how far its peak resident memory rose over
// what it held before the frame was built (the frame itself included), as a multiple of the frame.
//   model_decode_memory [MiB=256]
#include "MorvendaModel/Decoder.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// `prefix`, then `item` joined by commas until the frame is about `size` bytes, then `suffix`.
QByteArray repeated(const QByteArray &prefix, const QByteArray &item, const QByteArray &suffix, qsizetype size)
{
    QByteArray json;
    json.reserve(size + item.size() + suffix.size() + 1);
    json.append(prefix);
    json.append(item);
    while (json.size() + item.size() + 1 + suffix.size() <= size) {
        json.append(',');
        json.append(item);
    }
    json.append(suffix);
    return json;
}

const QByteArray id = "\"8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01\"";

struct Shape {
    const char *name;
    std::function<QByteArray(qsizetype)> build;
};

const Shape shapes[] = {
    {"numbers under a key no record reads",
     [](qsizetype size) { return repeated(R"({"request":{"id":)" + id + R"(,"headers":[],"extra":[)", "1", "]}}", size); }},
    {"short strings in a user's capabilities",
     [](qsizetype size) {
         return repeated(R"({"user":{"name":"a","token":"t","isImpersonating":false,"isSubuser":false,"isAdmin":false,"tags":[],"capabilities":[)",
                         "\"a\"", "]}}", size);
     }},
    {"short headers of a request",
     [](qsizetype size) { return repeated(R"({"request":{"id":)" + id + R"(,"headers":[)", R"({"name":"a","value":"b"})", "]}}", size); }},
    {"realistic headers of a request",
     [](qsizetype size) {
         return repeated(R"({"request":{"id":)" + id + R"(,"headers":[)",
                         R"({"name":"Accept-Language","value":"en-GB,en;q=0.9"})", "]}}", size);
     }},
    // The densest of the shapes above that a frame of this size may hold (33 bytes per value).
    {"numbers at the value allowance",
     [](qsizetype size) {
         return repeated(R"({"request":{"id":)" + id + R"(,"headers":[],"extra":[)", "0.000000000000000000000000000001", "]}}", size);
     }},
    {"strings at the value allowance",
     [](qsizetype size) {
         return repeated(R"({"user":{"name":"a","token":"t","isImpersonating":false,"isSubuser":false,"isAdmin":false,"tags":[],"capabilities":[)",
                         "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\"", "]}}", size);
     }},
    {"headers at the value allowance",
     [](qsizetype size) {
         return repeated(R"({"request":{"id":)" + id + R"(,"headers":[)",
                         R"({"name":"X-Request-Trace-Identifier-For-The-Shop","value":"00-0af7651916cd43dd8448eb211c80319c-b7ad6b7169203331-01;sampled=1;region=eu-west-1;shop=4211;app=ios"})", "]}}", size);
     }},
    {"one large response body",
     [](qsizetype size) {
         QByteArray json = R"({"response":{"id":)" + id + R"(,"batchID":)" + id + R"(,"statusCode":200,"headers":[],"data":")";
         json.append(QByteArray(std::max<qsizetype>(0, size - json.size() - 4), 'x'));
         json.append("\"}}");
         return json;
     }},
};

void measure(const Shape &shape, qsizetype size)
{
    const qint64 before = statusKiB("VmRSS:");
    QByteArray frame = shape.build(size);
    Decoder decoder = Decoder::make();
    QElapsedTimer clock;
    clock.start();
    auto result = decoder.decodePayload(frame);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 peak = statusKiB("VmHWM:") - before;
    const QByteArray outcome = result ? QByteArray("decoded") : result.error().toString().left(100).toUtf8();
    std::printf("%-40s %7.1f MiB  peak %8.1f MiB  = %5.1f x frame  %6.2f s  %s\n", shape.name,
                double(frame.size()) / (1 << 20), double(peak) / 1024, double(peak) * 1024 / double(frame.size()),
                seconds, outcome.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const qsizetype mib = argc > 1 ? std::atoll(argv[1]) : 256;
    for (const Shape &shape : shapes) {
        const pid_t child = fork();
        if (child == 0) {
            measure(shape, mib << 20);
            std::_Exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::printf("%-40s failed (status %d)\n", shape.name, status);
    }
    return 0;
}
