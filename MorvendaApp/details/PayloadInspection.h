// What the payload inspector shows of a request or a response: its title, information rows,
// headers, cookies, query items and body, and the API-explorer link of a URL. Every list is
// built anew on each ask (rows get new ids). Pure data work; main thread (titles are localized).
#pragma once

#include "DetailInfoProperty.h"

#include "MorvendaModel/Request.h"
#include "MorvendaModel/Response.h"

#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class NetworkDetailsViewable;

// What every inspected payload offers.
class DetailsViewable
{
public:
    virtual ~DetailsViewable() = default;

    virtual QString title() const = 0;
    virtual QList<DetailInfoProperty> info() const = 0;
    // The payload's HTTP operations when it offers them; null otherwise.
    virtual const NetworkDetailsViewable *networkDetails() const { return nullptr; }
};

// A payload that travelled as an HTTP message.
class NetworkDetailsViewable : public DetailsViewable
{
public:
    virtual QList<DetailInfoProperty> headers() const = 0;
    virtual QList<DetailInfoProperty> cookies() const = 0;
    virtual QList<DetailInfoProperty> query() const = 0;
    virtual std::optional<QString> body() const = 0;

    const NetworkDetailsViewable *networkDetails() const override { return this; }
};

class RequestDetails final : public NetworkDetailsViewable
{
public:
    explicit RequestDetails(Request request) : m_request(std::move(request)) {}

    const Request &request() const { return m_request; }

    QString title() const override;
    // "id", then "url", "method", "timestamp" when present.
    QList<DetailInfoProperty> info() const override;
    // Every header but those named exactly "Cookie".
    QList<DetailInfoProperty> headers() const override;
    // From the first header named exactly "Cookie".
    QList<DetailInfoProperty> cookies() const override;
    QList<DetailInfoProperty> query() const override;
    std::optional<QString> body() const override { return m_request.data(); }

private:
    Request m_request;
};

class ResponseDetails final : public NetworkDetailsViewable
{
public:
    explicit ResponseDetails(Response response) : m_response(std::move(response)) {}

    const Response &response() const { return m_response; }

    QString title() const override;
    // "id", "batchID", then "statusCode", "url", "source", "timestamp" when present.
    QList<DetailInfoProperty> info() const override;
    // Every header, "Set-Cookie" included.
    QList<DetailInfoProperty> headers() const override;
    // From the first header named exactly "Set-Cookie".
    QList<DetailInfoProperty> cookies() const override;
    QList<DetailInfoProperty> query() const override;
    std::optional<QString> body() const override { return m_response.data(); }

private:
    Response m_response;
};

namespace PayloadInspection {

// Host of the API-explorer page that URL values open.
inline constexpr char kApiExplorerOrigin[] = "https://www.example.com";

// The record's present fields as rows in declaration order, leaving out the named ones.
QList<DetailInfoProperty> mirrorProperties(const Request &request, const QStringList &excluded);
QList<DetailInfoProperty> mirrorProperties(const Response &response, const QStringList &excluded);

// The header's value split at every ";" (empty parts kept, nothing trimmed), each part at its
// first "=" into name and value; a part without "=" is both. Only the first header named exactly
// `headerName` counts.
QList<DetailInfoProperty> cookieProperties(const QList<Header> &headers, const QString &headerName);

// The query items of the URL as the app sent it, in order, names and values percent-decoded
// ("+" stays "+"); an item without "=" has the empty value. No URL or no query: no rows.
QList<DetailInfoProperty> queryItemProperties(const std::optional<Url> &url);

// The explorer text of a URL: its decoded path segments after the first path component, each
// segment holding "_" replaced by "token", joined by "/".
QString apiExplorerPath(const Url &url);
// kApiExplorerOrigin + "/api/explorer/endpoint?q=" + the explorer text, encoded once as a query
// value. None when no valid URL results.
std::optional<QUrl> apiExplorerURL(const Url &url);

} // namespace PayloadInspection
