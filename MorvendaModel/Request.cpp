#include "Request.h"

#include "CanonicalText.h"
#include "Utf8Text.h"

#include <QHash>
#include <QSharedData>

struct Request::Data : QSharedData
{
    QUuid messageID;
    std::optional<Url> url;
    std::optional<Method> method;
    std::optional<double> timestamp;
    // Valid UTF-8: bodies are mostly ASCII JSON, half the size of UTF-16, and go out to files and
    // sockets as they are.
    std::optional<QByteArray> data;
    QList<Header> headers;
};

Request::Request(Data *data) : d(data) {}

Request::Request(const QUuid &messageID, std::optional<Url> url, std::optional<Method> method,
                 std::optional<double> timestamp, const std::optional<QString> &data,
                 QList<Header> headers)
    : Request(new Data{{}, messageID, std::move(url), method, timestamp, Utf8Text::fromText(data),
                       std::move(headers)})
{
}

Request Request::withUtf8Body(const QUuid &messageID, std::optional<Url> url,
                              std::optional<Method> method, std::optional<double> timestamp,
                              std::optional<QByteArray> dataUtf8, QList<Header> headers)
{
    return Request(new Data{{}, messageID, std::move(url), method, timestamp,
                            Utf8Text::validated(std::move(dataUtf8)), std::move(headers)});
}

Request::Request(const Request &other) = default;
Request::Request(Request &&other) noexcept = default;
Request &Request::operator=(const Request &other) = default;
Request &Request::operator=(Request &&other) noexcept = default;
Request::~Request() = default;

QUuid Request::messageID() const { return d->messageID; }
const std::optional<Url> &Request::url() const { return d->url; }
std::optional<Method> Request::method() const { return d->method; }
std::optional<double> Request::timestamp() const { return d->timestamp; }
std::optional<QString> Request::data() const { return Utf8Text::toText(d->data); }
const std::optional<QByteArray> &Request::dataUtf8() const { return d->data; }
const QList<Header> &Request::headers() const { return d->headers; }

QString Request::urlText() const
{
    return d->url ? d->url->text() : QString();
}

QString Request::path() const
{
    return d->url ? d->url->path() : QString();
}

bool operator==(const Request &a, const Request &b)
{
    if (a.d == b.d)
        return true;
    const Request::Data &x = *a.d;
    const Request::Data &y = *b.d;
    return x.messageID == y.messageID && x.url == y.url && x.method == y.method
        && x.timestamp == y.timestamp && CanonicalText::equalUtf8(x.data, y.data)
        && x.headers == y.headers;
}

size_t qHash(const Request &request, size_t seed)
{
    seed = qHash(request.messageID(), seed);
    seed = qHashMulti(seed, request.url().has_value());
    if (request.url())
        seed = qHash(*request.url(), seed);
    seed = qHashMulti(seed, request.method().has_value());
    if (request.method())
        seed = qHash(*request.method(), seed);
    seed = qHashMulti(seed, request.timestamp().has_value(), request.timestamp().value_or(0.0));
    seed = CanonicalText::hashUtf8(request.dataUtf8(), seed);
    return qHash(request.headers(), seed);
}
