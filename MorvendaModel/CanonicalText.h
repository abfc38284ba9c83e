// Text equality by canonical equivalence, the one rule every wire record uses for its texts.
// Pure functions; safe on any thread.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace CanonicalText {

// True when the texts are canonically equivalent Unicode strings. Identical texts compare with a
// plain `==` first; only texts that differ there are normalised (NFC) and compared again.
bool equal(const QString &a, const QString &b);
bool equal(const std::optional<QString> &a, const std::optional<QString> &b);

// Hash consistent with `equal`: hashes the NFC form (normalisation is skipped for text that is
// already in NFC, which covers all ASCII).
size_t hash(const QString &text, size_t seed = 0);
size_t hash(const std::optional<QString> &text, size_t seed = 0);

// The same rule for texts kept as valid UTF-8: identical bytes are equal without decoding; texts
// whose characters all lie below U+0300 (every byte below 0xCC) are their own NFC form, so unequal
// bytes there are unequal texts; only the rest are decoded and normalised.
bool equalUtf8(QByteArrayView a, QByteArrayView b);
inline bool equalUtf8(const QByteArray &a, const QByteArray &b)
{
    return equalUtf8(QByteArrayView(a), QByteArrayView(b));
}
bool equalUtf8(const std::optional<QByteArray> &a, const std::optional<QByteArray> &b);
// Consistent with `equalUtf8` (not with `hash` of the decoded text).
size_t hashUtf8(QByteArrayView text, size_t seed = 0);
inline size_t hashUtf8(const QByteArray &text, size_t seed = 0)
{
    return hashUtf8(QByteArrayView(text), seed);
}
size_t hashUtf8(const std::optional<QByteArray> &text, size_t seed = 0);

} // namespace CanonicalText
