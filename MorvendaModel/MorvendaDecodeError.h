// Failures of the one-of values when none of their keys is present. The numeric value of each case
// is its error code in logs.
#pragma once

#include <QString>

enum class MorvendaDecodeError {
    UnableToDecodePayload = 0,
    UnableToDecodeAppPayload = 1,
    UnableToDecodeSettingValue = 2,
};

// "unableToDecodePayload", "unableToDecodeAppPayload", "unableToDecodeSettingValue".
QString caseName(MorvendaDecodeError error);

size_t qHash(MorvendaDecodeError error, size_t seed = 0);
