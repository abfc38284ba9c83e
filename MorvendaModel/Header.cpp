#include "Header.h"

#include "CanonicalText.h"
#include "Utf8Text.h"

#include <QHash>

#include <cstring>

namespace {

QByteArray joined(QByteArrayView name, QByteArrayView value)
{
    QByteArray bytes(name.size() + value.size(), Qt::Uninitialized);
    if (!name.isEmpty())
        memcpy(bytes.data(), name.data(), size_t(name.size()));
    if (!value.isEmpty())
        memcpy(bytes.data() + name.size(), value.data(), size_t(value.size()));
    return bytes;
}

} // namespace

Header::Header(const QString &name, const QString &value)
    : m_utf8(Utf8Text::fromText(name)), m_nameSize(m_utf8.size())
{
    m_utf8.append(Utf8Text::fromText(value));
}

Header Header::fromUtf8(QByteArrayView name, QByteArrayView value)
{
    if (Utf8Text::isValid(name) && Utf8Text::isValid(value))
        return fromValidUtf8(name, value);
    return fromValidUtf8(Utf8Text::validated(name.toByteArray()), Utf8Text::validated(value.toByteArray()));
}

Header Header::fromValidUtf8(QByteArrayView name, QByteArrayView value)
{
    Header header;
    header.m_utf8 = joined(name, value);
    header.m_nameSize = name.size();
    return header;
}

bool operator==(const Header &a, const Header &b)
{
    return CanonicalText::equalUtf8(a.nameUtf8(), b.nameUtf8())
        && CanonicalText::equalUtf8(a.valueUtf8(), b.valueUtf8());
}

size_t qHash(const Header &header, size_t seed)
{
    return CanonicalText::hashUtf8(header.valueUtf8(), CanonicalText::hashUtf8(header.nameUtf8(), seed));
}

size_t qHash(const QList<Header> &headers, size_t seed)
{
    seed = qHash(headers.size(), seed);
    for (const Header &header : headers)
        seed = qHash(header, seed);
    return seed;
}
