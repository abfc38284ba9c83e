// Helpers shared by the wire-model tests: readable JSON fixtures and one-line outcomes.
#pragma once

#include "MorvendaModel/Decoder.h"

#include <QByteArray>
#include <QString>

namespace ModelTest {

inline const QByteArray kId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
inline const QByteArray kBatch = "0B3E5B0A-8D5C-4F59-9E0C-6F2B8C1D2E3F";

// Fixtures are written with single quotes; $ID and $BATCH stand for two fixed UUIDs.
inline QByteArray json(const char *text)
{
    QByteArray bytes(text);
    bytes.replace('\'', '"');
    bytes.replace("$ID", kId);
    bytes.replace("$BATCH", kBatch);
    return bytes;
}

inline QString kindLabel(const DecodeError &error)
{
    return error.morvendaError ? caseName(*error.morvendaError) : kindName(error.kind);
}

inline QString payloadKind(const Payload &payload)
{
    static const char *const names[] = {"request", "response", "settings", "user", "milestone",
                                        "handshake"};
    return QString::fromLatin1(names[int(payload.kind())]);
}

// "request", "settings", … on success; "typeMismatch @ request.headers[0].name" on failure.
template<typename Result>
QString outcome(const Result &result, QString (*success)(const typename Result::value_type &))
{
    if (result)
        return success(*result);
    const DecodeError &error = result.error();
    return error.codingPath.isEmpty() ? kindLabel(error)
                                      : kindLabel(error) + QStringLiteral(" @ ") + error.codingPath;
}

} // namespace ModelTest
