#include "DecodeError.h"

#include <QHash>

QString caseName(MorvendaDecodeError error)
{
    switch (error) {
    case MorvendaDecodeError::UnableToDecodePayload:
        return QStringLiteral("unableToDecodePayload");
    case MorvendaDecodeError::UnableToDecodeAppPayload:
        return QStringLiteral("unableToDecodeAppPayload");
    case MorvendaDecodeError::UnableToDecodeSettingValue:
        return QStringLiteral("unableToDecodeSettingValue");
    }
    Q_UNREACHABLE();
    return {};
}

size_t qHash(MorvendaDecodeError error, size_t seed)
{
    return qHash(static_cast<int>(error), seed);
}

QString kindName(DecodeError::Kind kind)
{
    switch (kind) {
    case DecodeError::Kind::DataCorrupted:
        return QStringLiteral("dataCorrupted");
    case DecodeError::Kind::TypeMismatch:
        return QStringLiteral("typeMismatch");
    case DecodeError::Kind::KeyNotFound:
        return QStringLiteral("keyNotFound");
    case DecodeError::Kind::ValueNotFound:
        return QStringLiteral("valueNotFound");
    case DecodeError::Kind::Morvenda:
        return QStringLiteral("morvendaDecodeError");
    }
    Q_UNREACHABLE();
    return {};
}

QString DecodeError::toString() const
{
    QString head = kind == Kind::Morvenda && morvendaError ? caseName(*morvendaError)
                                                          : kindName(kind);
    if (!codingPath.isEmpty())
        head += QStringLiteral(" at ") + codingPath;
    if (description.isEmpty())
        return head;
    return head + QStringLiteral(": ") + description;
}
