// Small builders for the session tests: deterministic IDs and requests/responses with only the
// fields a test cares about.
#pragma once

#include "MorvendaModel/Request.h"
#include "MorvendaModel/Response.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace fixtures {

// A readable, deterministic message or batch ID: id(1) != id(2), id(1) == id(1).
inline QUuid id(uint n)
{
    return QUuid(n, 0x1111, 0x2222, 0, 0, 0, 0, 0, 0, 0, 1);
}

inline Request request(QUuid messageID, const QString &url = QStringLiteral("https://shop.example/api/items"),
                       std::optional<QString> body = std::nullopt, std::optional<double> timestamp = std::nullopt,
                       std::optional<Method> method = Method::Get)
{
    return Request(messageID, url.isEmpty() ? std::nullopt : Url::fromText(url), method, timestamp,
                   std::move(body), {});
}

inline Response response(QUuid messageID, QUuid batchID, std::optional<qint64> status = 200,
                         std::optional<Response::Source> source = Response::Source::Network,
                         std::optional<double> timestamp = std::nullopt, std::optional<QString> body = std::nullopt)
{
    return Response(messageID, batchID, status, Url::fromText(QStringLiteral("https://shop.example/api/items")),
                    source, timestamp, {}, std::move(body));
}

} // namespace fixtures
