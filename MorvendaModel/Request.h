// One logged HTTP request of a connected app. Immutable; the fields live in one implicitly shared
// block, so copying a request (into exchanges, timelines, session writers) never copies its body,
// headers or URL. Safe to copy across threads.
#pragma once

#include "MorvendaModel/Header.h"
#include "MorvendaModel/Method.h"
#include "MorvendaModel/Url.h"

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

class Request
{
public:
    // Fields in wire order; `timestamp` is seconds since 1970-01-01 00:00:00 UTC (fractions kept).
    // The body is kept as UTF-8; a lone surrogate in it becomes U+FFFD, as the encoder writes it.
    Request(const QUuid &messageID, std::optional<Url> url, std::optional<Method> method,
            std::optional<double> timestamp, const std::optional<QString> &data, QList<Header> headers);
    // The same with the body given as UTF-8, kept as it is (shared, not copied) when it is valid
    // UTF-8; an invalid sequence becomes U+FFFD.
    static Request withUtf8Body(const QUuid &messageID, std::optional<Url> url,
                                std::optional<Method> method, std::optional<double> timestamp,
                                std::optional<QByteArray> dataUtf8, QList<Header> headers);

    Request(const Request &other);
    Request(Request &&other) noexcept;
    Request &operator=(const Request &other);
    Request &operator=(Request &&other) noexcept;
    ~Request();

    // The message ID; every response to this request carries the same one.
    QUuid messageID() const;
    QUuid id() const { return messageID(); }
    const std::optional<Url> &url() const;
    std::optional<Method> method() const;
    std::optional<double> timestamp() const;
    // The body as text, decoded from its UTF-8 on every call: callers that only pass the body on
    // or scan it for ASCII should take dataUtf8().
    std::optional<QString> data() const;
    // The body as stored: valid UTF-8 (a lone surrogate of the text it was made from is U+FFFD).
    const std::optional<QByteArray> &dataUtf8() const;
    const QList<Header> &headers() const;

    // Conveniences over url(): the original URL text and the percent-decoded path, both empty
    // without a URL.
    QString urlText() const;
    QString path() const;

    // Every field in order; texts by canonical equivalence.
    friend bool operator==(const Request &a, const Request &b);

private:
    struct Data;
    explicit Request(Data *data);

    QExplicitlySharedDataPointer<const Data> d;
};

size_t qHash(const Request &request, size_t seed = 0);
