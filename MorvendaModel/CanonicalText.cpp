#include "CanonicalText.h"

#include <QHash>

namespace CanonicalText {

bool equal(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool equal(const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || equal(*a, *b);
}

size_t hash(const QString &text, size_t seed)
{
    return qHash(text.normalized(QString::NormalizationForm_C), seed);
}

size_t hash(const std::optional<QString> &text, size_t seed)
{
    seed = qHashMulti(seed, text.has_value());
    return text ? hash(*text, seed) : seed;
}

} // namespace CanonicalText
