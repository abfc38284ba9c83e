// The comparison form of the panels' text searches: canonically equivalent texts (precomposed
// "é" and "e" with a combining acute) and case variants (capitals, final and medial sigma)
// compare equal. Pure functions; safe on any thread.
#pragma once

#include <QString>

namespace SearchText {

// Decomposed, case-folded and composed again (NFC), so a substring test on two folded texts is
// a caseless test up to canonical equivalence. ASCII text takes a short path.
QString fold(const QString &text);

// `folded(haystack)` contains `foldedNeedle` (already folded).
bool contains(const QString &haystack, const QString &foldedNeedle);

} // namespace SearchText
