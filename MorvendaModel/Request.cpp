#include "Request.h"

#include "CanonicalText.h"

#include <QHash>
#include <QSharedData>

struct Request::Data : QSharedData
{
    QUuid messageID;
    std::optional<Url> url;
    std::optional<Method> method;
    std::optional<double> timestamp;
    std::optional<QString> data;
    QList<Header> headers;
};

Request::Request(const QUuid &messageID, std::optional<Url> url, std::optional<Method> method,
                 std::optional<double> timestamp, std::optional<QString> data, QList<Header> headers)
{
    auto *data_ = new Data;
    data_->messageID = messageID;
    data_->url = std::move(url);
    data_->method = method;
    data_->timestamp = timestamp;
    data_->data = std::move(data);
    data_->headers = std::move(headers);
    d = QExplicitlySharedDataPointer<const Data>(data_);
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
const std::optional<QString> &Request::data() const { return d->data; }
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
        && x.timestamp == y.timestamp && CanonicalText::equal(x.data, y.data)
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
    seed = CanonicalText::hash(request.data(), seed);
    return qHash(request.headers(), seed);
}
