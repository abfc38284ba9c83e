#include "MorvendaApp/session/Exchange.h"

#include "MorvendaApp/session/ExchangeDescriptionMapper.h"
#include "MorvendaModel/CanonicalText.h"

#include <QHashFunctions>

struct Exchange::Data : QSharedData
{
    QUuid messageID;
    std::optional<QUuid> batchID;
    std::optional<qint64> batchCount;
    BatchCounter batchCounter; // when set, overrides batchCount
    QString peer;
    std::optional<Request> request;
    ResponseList responses;
    std::optional<QString> description;
    std::optional<QString> requestPath;
    std::optional<Method> requestMethod;
    quint64 revision = 0;
};

Exchange::Exchange()
    : d(new Data)
{
}

Exchange::Exchange(const Exchange &) = default;
Exchange &Exchange::operator=(const Exchange &) = default;
Exchange::Exchange(Exchange &&) noexcept = default;
Exchange &Exchange::operator=(Exchange &&) noexcept = default;
Exchange::~Exchange() = default;

Exchange Exchange::fromRequest(const Request &request, const QString &peer)
{
    Exchange exchange;
    exchange.d->messageID = request.messageID();
    exchange.d->peer = peer;
    exchange.d->request = request;
    if (request.url())
        exchange.d->requestPath = request.url()->path();
    exchange.d->requestMethod = request.method();
    exchange.d->description = ExchangeDescriptionMapper::describe(exchange);
    return exchange;
}

Exchange Exchange::fromResponse(const Response &response, const QString &peer)
{
    Exchange exchange;
    exchange.d->messageID = response.messageID();
    exchange.d->batchID = response.batchID();
    exchange.d->peer = peer;
    exchange.d->responses.append(response);
    return exchange;
}

QUuid Exchange::messageID() const { return d->messageID; }
std::optional<QUuid> Exchange::batchID() const { return d->batchID; }

std::optional<qint64> Exchange::batchCount() const
{
    return d->batchCounter ? std::optional<qint64>(*d->batchCounter) : d->batchCount;
}

const QString &Exchange::peer() const { return d->peer; }
const std::optional<Request> &Exchange::request() const { return d->request; }
const ResponseList &Exchange::responses() const { return d->responses; }
const std::optional<QString> &Exchange::description() const { return d->description; }
const std::optional<QString> &Exchange::requestPath() const { return d->requestPath; }
const std::optional<Method> &Exchange::requestMethod() const { return d->requestMethod; }
quint64 Exchange::revision() const { return d->revision; }

Exchange::ResponseStatus Exchange::responseStatus() const
{
    if (d->responses.isEmpty())
        return ResponseStatus::NoResponse;
    if (d->responses.hasFailure())
        return ResponseStatus::Error;
    const std::optional<qint64> count = batchCount();
    if (count && *count > 1)
        return ResponseStatus::Batch;
    if (d->responses.hasCached())
        return ResponseStatus::Cache;
    return ResponseStatus::Network;
}

std::optional<double> Exchange::duration() const
{
    if (!d->request || !d->request->timestamp() || d->responses.isEmpty())
        return std::nullopt;
    const std::optional<double> last = d->responses.constLast().timestamp();
    if (!last)
        return std::nullopt;
    return *last - *d->request->timestamp();
}

void Exchange::setBatchID(std::optional<QUuid> batchID) { d->batchID = batchID; }

void Exchange::setBatchCount(std::optional<qint64> batchCount)
{
    d->batchCounter.reset();
    d->batchCount = batchCount;
}

void Exchange::appendResponse(const Response &response) { d->responses.append(response); }
void Exchange::setDescription(std::optional<QString> description) { d->description = std::move(description); }

void Exchange::linkBatchCounter(BatchCounter counter)
{
    d->batchCounter = std::move(counter);
    d->batchCount.reset();
}

void Exchange::freezeBatchCount()
{
    if (!d->batchCounter)
        return;
    const qint64 count = *d->batchCounter;
    d->batchCounter.reset();
    d->batchCount = count;
}

void Exchange::setRevision(quint64 revision) { d->revision = revision; }

void Exchange::prefetchRequestPath() const
{
    if (d->requestPath)
        __builtin_prefetch(d->requestPath->constData());
}

// Cheap fields first; the request and responses compare their shared blocks before any text.
bool operator==(const Exchange &a, const Exchange &b)
{
    if (a.d == b.d)
        return true;
    return a.d->messageID == b.d->messageID && a.d->batchID == b.d->batchID
        && a.batchCount() == b.batchCount() && a.d->responses.size() == b.d->responses.size()
        && CanonicalText::equal(a.d->peer, b.d->peer) && a.d->request == b.d->request
        && a.d->responses == b.d->responses
        && CanonicalText::equal(a.d->description, b.d->description);
}

size_t qHash(const Exchange &exchange, size_t seed)
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, qHash(exchange.messageID()));
    const std::optional<QUuid> batchID = exchange.batchID();
    seed = combine(seed, batchID.has_value());
    if (batchID)
        seed = combine(seed, qHash(*batchID));
    const std::optional<qint64> batchCount = exchange.batchCount();
    seed = combine(seed, batchCount.has_value());
    if (batchCount)
        seed = combine(seed, qHash(*batchCount));
    seed = combine(seed, CanonicalText::hash(exchange.peer()));
    seed = combine(seed, exchange.request().has_value());
    if (exchange.request())
        seed = combine(seed, qHash(*exchange.request()));
    seed = combine(seed, qHash(exchange.responses().size()));
    for (const Response &response : exchange.responses())
        seed = combine(seed, qHash(response));
    return combine(seed, CanonicalText::hash(exchange.description()));
}
