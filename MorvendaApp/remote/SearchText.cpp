#include "SearchText.h"

#include <algorithm>

namespace SearchText {

QString fold(const QString &text)
{
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLower();
    return text.normalized(QString::NormalizationForm_D).toCaseFolded().normalized(QString::NormalizationForm_C);
}

bool contains(const QString &haystack, const QString &foldedNeedle)
{
    return fold(haystack).contains(foldedNeedle);
}

} // namespace SearchText
