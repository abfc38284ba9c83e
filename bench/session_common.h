// Shared helpers of the session benchmarks: records with realistic bodies, clocks and memory.
#pragma once

#include "MorvendaModel/Request.h"
#include "MorvendaModel/Response.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QUuid>

#include <cstdio>

namespace bench {

inline QUuid uuid(quint32 a, quint32 b = 0)
{
    return QUuid(a, quint16(b), quint16(b >> 16), 1, 2, 3, 4, 5, 6, 7, 8);
}

// A JSON-looking body of about `bytes` characters.
inline QString body(int bytes, int salt)
{
    QString text = QStringLiteral("{\"id\":%1,\"items\":[").arg(salt);
    while (text.size() < bytes - 40)
        text += QStringLiteral("{\"sku\":\"A-%1\",\"qty\":%2},").arg(salt % 9973).arg(text.size() % 17);
    text += QStringLiteral("{}]}");
    return text;
}

inline QString pathFor(int i)
{
    static const char *const paths[] = {"/api/event", "/api/items", "/api/setting/assign", "/api/user/milestones",
                                        "/api/cart", "/api/v2/events", "/api/search", "/api/home"};
    return QLatin1StringView(paths[i % 8]);
}

inline Request request(int i, const QString &body)
{
    return Request(uuid(quint32(i) + 1), Url::fromText(QStringLiteral("https://shop.example") + pathFor(i) + QStringLiteral("?page=%1").arg(i % 7)),
                   Method::Post, 1.7e9 + i * 0.001, body,
                   {{QStringLiteral("Content-Type"), QStringLiteral("application/json")},
                    {QStringLiteral("X-Request"), QString::number(i)}});
}

inline Response response(int i, const QString &body, quint32 batch)
{
    return Response(uuid(quint32(i) + 1), uuid(batch, 77), 200, Url::fromText(QStringLiteral("https://shop.example") + pathFor(i)),
                    Response::Source::Network, 1.7e9 + i * 0.001 + 0.05,
                    {{QStringLiteral("Content-Type"), QStringLiteral("application/json")}}, body);
}

// Resident memory now and at its peak since the last reset, in bytes (Linux).
inline qint64 statusField(const char *name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}
inline qint64 residentBytes() { return statusField("VmRSS:"); }
inline qint64 peakResidentBytes() { return statusField("VmHWM:"); }
inline void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

inline double ms(const QElapsedTimer &timer) { return double(timer.nsecsElapsed()) / 1e6; }

} // namespace bench
