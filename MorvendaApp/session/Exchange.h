// One unit of the timeline: a logged request with the responses reported for it, its batch, where
// it came from and a short description. A value with implicit sharing: copies cost one reference
// count, and request and response bodies are never copied; adding a response to a copy does not
// copy the responses before it. Built and read on the main thread.
#pragma once

#include "MorvendaApp/session/ResponseList.h"
#include "MorvendaModel/Request.h"
#include "MorvendaModel/Response.h"

#include <QList>
#include <QSharedDataPointer>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

class MessageRepository;

class Exchange
{
public:
    enum class ResponseStatus { Network, Cache, Batch, Error, NoResponse };

    // A new exchange holding the request, with its description from ExchangeDescriptionMapper.
    static Exchange fromRequest(const Request &request, const QString &peer);
    // A new exchange started by a response: no request, no description, no batch count yet.
    static Exchange fromResponse(const Response &response, const QString &peer);

    Exchange();
    Exchange(const Exchange &);
    Exchange &operator=(const Exchange &);
    // Moving touches no reference count, so the store grows without visiting every record.
    Exchange(Exchange &&) noexcept;
    Exchange &operator=(Exchange &&) noexcept;
    ~Exchange();

    QUuid messageID() const;
    std::optional<QUuid> batchID() const;
    // How many distinct message IDs have reported a response under this exchange's batch.
    std::optional<qint64> batchCount() const;
    const QString &peer() const;
    const std::optional<Request> &request() const;
    const ResponseList &responses() const;
    const std::optional<QString> &description() const;

    // The request URL's percent-decoded path and the request's method, kept beside the request
    // so that filters read them without reaching into it; absent without a request (or URL).
    const std::optional<QString> &requestPath() const;
    const std::optional<Method> &requestMethod() const;

    // Identifies one stored version: the repository gives every exchange it stores a new,
    // increasing revision, so two versions of one message compare by number. 0 until stored.
    // Not part of equality.
    quint64 revision() const;

    ResponseStatus responseStatus() const;
    // Seconds from the request's timestamp to the last response's; may be negative.
    std::optional<double> duration() const;

    // Copy-on-write edits, used by the repository and by tests.
    void setBatchID(std::optional<QUuid> batchID);
    void setBatchCount(std::optional<qint64> batchCount);
    void appendResponse(const Response &response);
    void setDescription(std::optional<QString> description);

    // All seven fields (texts by canonical equivalence). Two handles on the same shared
    // version compare without looking at any field.
    friend bool operator==(const Exchange &a, const Exchange &b);

    // Hints for loops over many exchanges: the record itself, then the text of its request path.
    void prefetchRecord() const { __builtin_prefetch(d.constData()); }
    void prefetchRequestPath() const;

private:
    friend class MessageRepository;
    struct Data;

    // The repository keeps the batch counts of a growing batch in one shared counter instead of
    // rewriting every member: a linked exchange reads its count from there.
    using BatchCounter = std::shared_ptr<const qint64>;
    void linkBatchCounter(BatchCounter counter);
    // Replaces the link by the count it currently reads, so later growth no longer shows.
    void freezeBatchCount();
    void setRevision(quint64 revision);

    QSharedDataPointer<Data> d;
};

size_t qHash(const Exchange &exchange, size_t seed = 0);
