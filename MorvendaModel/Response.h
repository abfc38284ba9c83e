// One logged HTTP response of a connected app. Immutable; the fields live in one implicitly shared
// block, so copying a response never copies its body, headers or URL. Safe to copy across threads.
#pragma once

#include "MorvendaModel/Header.h"
#include "MorvendaModel/Url.h"

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

class Response
{
public:
    // Where the app got the response from. Wire form: {"network":{}} or {"cache":{}}.
    enum class Source { Network, Cache };

    // Fields in wire order; `timestamp` is seconds since 1970-01-01 00:00:00 UTC. Note that the
    // headers come before the body here, unlike in Request. The body is kept as UTF-8 (see Request).
    Response(const QUuid &messageID, const QUuid &batchID, std::optional<qint64> statusCode,
             std::optional<Url> url, std::optional<Source> source, std::optional<double> timestamp,
             QList<Header> headers, const std::optional<QString> &data);
    // The same with the body given as UTF-8, kept as it is (shared, not copied) when it is valid
    // UTF-8; an invalid sequence becomes U+FFFD.
    static Response withUtf8Body(const QUuid &messageID, const QUuid &batchID,
                                 std::optional<qint64> statusCode, std::optional<Url> url,
                                 std::optional<Source> source, std::optional<double> timestamp,
                                 QList<Header> headers, std::optional<QByteArray> dataUtf8);

    Response(const Response &other);
    Response(Response &&other) noexcept;
    Response &operator=(const Response &other);
    Response &operator=(Response &&other) noexcept;
    ~Response();

    // The message ID of the request this response answers.
    QUuid messageID() const;
    QUuid id() const { return messageID(); }
    // Shared by the responses the app delivered for one batch of duplicate requests.
    QUuid batchID() const;
    std::optional<qint64> statusCode() const;
    const std::optional<Url> &url() const;
    std::optional<Source> source() const;
    std::optional<double> timestamp() const;
    const QList<Header> &headers() const;
    // The body as text, decoded from its UTF-8 on every call (see Request::data()).
    std::optional<QString> data() const;
    // The body as stored: valid UTF-8.
    const std::optional<QByteArray> &dataUtf8() const;

    QString urlText() const;
    QString path() const;

    friend bool operator==(const Response &a, const Response &b);

private:
    struct Data;
    explicit Response(Data *data);

    QExplicitlySharedDataPointer<const Data> d;
};

size_t qHash(const Response &response, size_t seed = 0);
// Hashes the case's position (0 network, 1 cache).
size_t qHash(Response::Source source, size_t seed = 0);
