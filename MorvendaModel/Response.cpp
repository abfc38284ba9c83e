#include "Response.h"

#include "CanonicalText.h"
#include "Utf8Text.h"

#include <QHash>
#include <QSharedData>

struct Response::Data : QSharedData
{
    QUuid messageID;
    QUuid batchID;
    std::optional<qint64> statusCode;
    std::optional<Url> url;
    std::optional<Source> source;
    std::optional<double> timestamp;
    QList<Header> headers;
    // Valid UTF-8, as in Request.
    std::optional<QByteArray> data;
};

Response::Response(Data *data) : d(data) {}

Response::Response(const QUuid &messageID, const QUuid &batchID, std::optional<qint64> statusCode,
                   std::optional<Url> url, std::optional<Source> source,
                   std::optional<double> timestamp, QList<Header> headers,
                   const std::optional<QString> &data)
    : Response(new Data{{}, messageID, batchID, statusCode, std::move(url), source, timestamp,
                        std::move(headers), Utf8Text::fromText(data)})
{
}

Response Response::withUtf8Body(const QUuid &messageID, const QUuid &batchID,
                                std::optional<qint64> statusCode, std::optional<Url> url,
                                std::optional<Source> source, std::optional<double> timestamp,
                                QList<Header> headers, std::optional<QByteArray> dataUtf8)
{
    return Response(new Data{{}, messageID, batchID, statusCode, std::move(url), source, timestamp,
                             std::move(headers), Utf8Text::validated(std::move(dataUtf8))});
}

Response::Response(const Response &other) = default;
Response::Response(Response &&other) noexcept = default;
Response &Response::operator=(const Response &other) = default;
Response &Response::operator=(Response &&other) noexcept = default;
Response::~Response() = default;

QUuid Response::messageID() const { return d->messageID; }
QUuid Response::batchID() const { return d->batchID; }
std::optional<qint64> Response::statusCode() const { return d->statusCode; }
const std::optional<Url> &Response::url() const { return d->url; }
std::optional<Response::Source> Response::source() const { return d->source; }
std::optional<double> Response::timestamp() const { return d->timestamp; }
const QList<Header> &Response::headers() const { return d->headers; }
std::optional<QString> Response::data() const { return Utf8Text::toText(d->data); }
const std::optional<QByteArray> &Response::dataUtf8() const { return d->data; }

QString Response::urlText() const
{
    return d->url ? d->url->text() : QString();
}

QString Response::path() const
{
    return d->url ? d->url->path() : QString();
}

bool operator==(const Response &a, const Response &b)
{
    if (a.d == b.d)
        return true;
    const Response::Data &x = *a.d;
    const Response::Data &y = *b.d;
    return x.messageID == y.messageID && x.batchID == y.batchID && x.statusCode == y.statusCode
        && x.url == y.url && x.source == y.source && x.timestamp == y.timestamp
        && x.headers == y.headers && CanonicalText::equalUtf8(x.data, y.data);
}

size_t qHash(const Response &response, size_t seed)
{
    seed = qHashMulti(seed, response.messageID(), response.batchID());
    seed = qHashMulti(seed, response.statusCode().has_value(), response.statusCode().value_or(0));
    seed = qHashMulti(seed, response.url().has_value());
    if (response.url())
        seed = qHash(*response.url(), seed);
    seed = qHashMulti(seed, response.source().has_value());
    if (response.source())
        seed = qHash(*response.source(), seed);
    seed = qHashMulti(seed, response.timestamp().has_value(), response.timestamp().value_or(0.0));
    seed = qHash(response.headers(), seed);
    return CanonicalText::hashUtf8(response.dataUtf8(), seed);
}

size_t qHash(Response::Source source, size_t seed)
{
    return qHash(static_cast<int>(source), seed);
}
