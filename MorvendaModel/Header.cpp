#include "Header.h"

#include "CanonicalText.h"

#include <QHash>

bool operator==(const Header &a, const Header &b)
{
    return CanonicalText::equal(a.name, b.name) && CanonicalText::equal(a.value, b.value);
}

size_t qHash(const Header &header, size_t seed)
{
    return CanonicalText::hash(header.value, CanonicalText::hash(header.name, seed));
}

size_t qHash(const QList<Header> &headers, size_t seed)
{
    seed = qHash(headers.size(), seed);
    for (const Header &header : headers)
        seed = qHash(header, seed);
    return seed;
}
