// One measured exchange as the request-duration charts draw it, and the rules that turn an
// exchange into one: its path key and whether it can be measured. Pure values; any thread.
#pragma once

#include <QString>
#include <QUuid>

#include <optional>

class Exchange;

struct RequestDurationChartItem
{
    // The exchange's message ID.
    QUuid id;
    // Seconds from startDate to endDate; not clamped, so zero or negative when the app stamped
    // the response at or before the request.
    double duration = 0;
    // The request's timestamp and the last response's (the one that joined last), in seconds
    // since 1970.
    double startDate = 0;
    double endDate = 0;
    // The request URL's path key (RequestDurationPaths::pathKey).
    QString path;

    friend bool operator==(const RequestDurationChartItem &a, const RequestDurationChartItem &b) = default;
};

size_t qHash(const RequestDurationChartItem &item, size_t seed = 0);

namespace RequestDurationPaths {

// The path under which an exchange is listed: the request URL's path as the app wrote it
// (escapes unchanged, no query or fragment, "" when the URL has none), in its canonical (NFC)
// form so canonically equivalent spellings list once. None without a request or a URL.
std::optional<QString> pathKey(const Exchange &exchange);

// The list's order: by Unicode code points (UTF-16 order differs above U+D7FF), so "/B" sorts
// before "/a" and a path before its own extensions.
bool lessThan(const QString &a, const QString &b);

// How a path is named where the user reads it (path list, legend, hover label): verbatim, but the
// empty path (a URL with only scheme and host) by a text of its own, never as a blank.
QString displayName(const QString &path);

// The exchange as an item under the given path key; none unless it has a request with a URL and
// a timestamp and a last response with a timestamp.
std::optional<RequestDurationChartItem> makeItem(const Exchange &exchange, const QString &path);
std::optional<RequestDurationChartItem> makeItem(const Exchange &exchange);

} // namespace RequestDurationPaths
