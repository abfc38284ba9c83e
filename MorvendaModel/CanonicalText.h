// Text equality by canonical equivalence, the one rule every wire record uses for its texts.
// Pure functions; safe on any thread.
#pragma once

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

} // namespace CanonicalText
