#include "CanonicalText.h"

#include <QHash>

#include <algorithm>

namespace {

// No character at or above U+0300, the first one NFC can change: in UTF-8 such characters begin
// with a byte of 0xCC or more, and all other bytes are below it.
bool isOwnNfc(QByteArrayView utf8)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *const end = p + utf8.size();
    unsigned char highest = 0;
    // Branch-free inner loop over blocks; the maximum byte decides.
    while (end - p >= 64) {
        for (int i = 0; i < 64; ++i)
            highest = std::max(highest, p[i]);
        if (highest >= 0xCC)
            return false;
        p += 64;
    }
    for (; p < end; ++p)
        highest = std::max(highest, *p);
    return highest < 0xCC;
}

QString nfc(QByteArrayView utf8)
{
    return QString::fromUtf8(utf8).normalized(QString::NormalizationForm_C);
}

} // namespace

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

bool equalUtf8(QByteArrayView a, QByteArrayView b)
{
    if (a == b)
        return true;
    if (isOwnNfc(a) && isOwnNfc(b))
        return false;
    return nfc(a) == nfc(b);
}

bool equalUtf8(const std::optional<QByteArray> &a, const std::optional<QByteArray> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || equalUtf8(*a, *b);
}

size_t hashUtf8(QByteArrayView text, size_t seed)
{
    if (isOwnNfc(text))
        return qHash(text, seed);
    return qHash(QByteArrayView(nfc(text).toUtf8()), seed);
}

size_t hashUtf8(const std::optional<QByteArray> &text, size_t seed)
{
    seed = qHashMulti(seed, text.has_value());
    return text ? hashUtf8(*text, seed) : seed;
}

} // namespace CanonicalText
