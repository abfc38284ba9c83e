// Builders for the request-duration tests: deterministic IDs, requests to a path of one shop and
// their responses, fed straight into a repository.
#pragma once

#include "MorvendaApp/metrics/RequestDurationPathListModel.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "tests/session/SessionFixtures.h"

#include <QAbstractItemModel>
#include <QStringList>

namespace durationfixtures {

using fixtures::id;

// A request to the shop's `path` (no URL at all for a null path).
inline void request(MessageRepository &repository, uint n, const QString &path, std::optional<double> at,
                    const QString &peer = QStringLiteral("App"))
{
    const std::optional<Url> url = path.isNull() ? std::nullopt : Url::fromText(QStringLiteral("https://shop.example") + path);
    repository.addRequest(Request(id(n), url, Method::Get, at, std::nullopt, {}), peer);
}

inline void response(MessageRepository &repository, uint n, std::optional<double> at, uint batch = 900,
                     const QString &peer = QStringLiteral("App"))
{
    repository.addResponse(Response(id(n), id(batch), 200, std::nullopt, Response::Source::Network, at, {}, std::nullopt),
                           peer);
}

// The paths of a list's rows, top to bottom (as the rows carry them, not as they are named).
inline QStringList pathsOf(const QAbstractItemModel &model)
{
    QStringList paths;
    for (int row = 0; row < model.rowCount(); ++row)
        paths.append(model.index(row, 0).data(RequestDurationPathListModel::PathRole).toString());
    return paths;
}

} // namespace durationfixtures
