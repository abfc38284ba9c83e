// Why a JSON document could not be read as a wire record: the kind, where (the coding path) and
// a description. Callers rely on the kind: the server answers TypeMismatch, and only that, with
// its legacy-protocol alert.
#pragma once

#include "MorvendaModel/MorvendaDecodeError.h"

#include <QString>

#include <optional>

struct DecodeError
{
    enum class Kind {
        // Not valid JSON; a UUID, URL or raw value that is not acceptable text; a number that does
        // not fit its whole-number field.
        DataCorrupted,
        // A value of the wrong JSON type.
        TypeMismatch,
        // A required key is missing.
        KeyNotFound,
        // A required key holds null, or null stands where an object is expected.
        ValueNotFound,
        // A one-of object holds none of its keys; `morvendaError` says which one-of.
        Morvenda,
    };

    Kind kind = Kind::DataCorrupted;
    // Keys and indices from the document's root, e.g. "request.headers[0].name"; array elements
    // of a session file start with their index, "[3].response.id". Empty at the root.
    QString codingPath;
    // What was wrong, e.g. "expected a string, found a number".
    QString description;
    // Set exactly when kind is Morvenda.
    std::optional<MorvendaDecodeError> morvendaError;

    bool isTypeMismatch() const { return kind == Kind::TypeMismatch; }

    // One line for logs and alerts, e.g.
    // "typeMismatch at request.headers[0].name: expected a string, found a number".
    QString toString() const;

    friend bool operator==(const DecodeError &a, const DecodeError &b) = default;
};

// "dataCorrupted", "typeMismatch", "keyNotFound", "valueNotFound", "morvendaDecodeError".
QString kindName(DecodeError::Kind kind);
