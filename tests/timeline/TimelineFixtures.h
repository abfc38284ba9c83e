// Builders for the timeline tests: deterministic IDs and a tiny script that feeds a repository,
// e.g. "REQ 1 get /api/cart; RES 1 b7 200 cache; RES 2 b7 500".
//   REQ <id> <method|-> <url|->            a request (a URL starting with "/" gets a host)
//   RES <id> b<batch> <status|-> [network|cache|-] [url|-]   a response
#pragma once

#include "MorvendaApp/session/MessageRepository.h"
#include "tests/session/SessionFixtures.h"

#include <QStringList>

namespace timelinefixtures {

using fixtures::id;

inline std::optional<Url> url(const QString &text)
{
    if (text == QLatin1StringView("-"))
        return std::nullopt;
    return Url::fromText(text.startsWith(QLatin1Char('/')) ? QStringLiteral("https://shop.example") + text : text);
}

inline void run(MessageRepository &repository, const QString &script, const QString &peer = QStringLiteral("App"))
{
    for (const QString &statement : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList t = statement.simplified().split(QLatin1Char(' '));
        if (t.value(0) == QLatin1StringView("REQ")) {
            repository.addRequest(Request(id(t.value(1).toUInt()), url(t.value(3, QStringLiteral("-"))),
                                          methodFromRawValue(t.value(2)), std::nullopt, std::nullopt, {}),
                                  peer);
        } else if (t.value(0) == QLatin1StringView("RES")) {
            const QString status = t.value(3);
            const QString source = t.value(4, QStringLiteral("network"));
            std::optional<Response::Source> src;
            if (source == QLatin1StringView("network"))
                src = Response::Source::Network;
            else if (source == QLatin1StringView("cache"))
                src = Response::Source::Cache;
            repository.addResponse(Response(id(t.value(1).toUInt()), id(1000 + t.value(2).mid(1).toUInt()),
                                            status == QLatin1StringView("-") ? std::nullopt : std::optional(status.toLongLong()),
                                            url(t.value(5, QStringLiteral("/api/from-response"))), src, std::nullopt, {},
                                            std::nullopt),
                                   peer);
        } else {
            qFatal("unknown fixture statement: %s", qPrintable(statement));
        }
    }
}

} // namespace timelinefixtures
