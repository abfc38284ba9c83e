// One HTTP header of a logged request or response, stored exactly as sent (no case folding, no
// trimming, no merging of repeated names). Kept as UTF-8, name and value in one block: requests
// carry a dozen headers and sessions hold hundreds of thousands of requests, while the texts are
// only needed for the few rows a developer looks at. Immutable value; safe to copy across threads.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class Header
{
public:
    Header() = default;
    // A lone surrogate becomes U+FFFD, as the encoder writes it.
    Header(const QString &name, const QString &value);
    // Kept as given when valid UTF-8; an invalid sequence becomes U+FFFD.
    static Header fromUtf8(QByteArrayView name, QByteArrayView value);
    // For texts known to be valid UTF-8 (strings of a parsed JSON document): kept unchecked.
    static Header fromValidUtf8(QByteArrayView name, QByteArrayView value);

    // Decoded from the UTF-8 on every call.
    QString name() const { return QString::fromUtf8(nameUtf8()); }
    QString value() const { return QString::fromUtf8(valueUtf8()); }
    QByteArrayView nameUtf8() const { return QByteArrayView(m_utf8).first(m_nameSize); }
    QByteArrayView valueUtf8() const { return QByteArrayView(m_utf8).sliced(m_nameSize); }

    // Name and value each by canonical equivalence.
    friend bool operator==(const Header &a, const Header &b);

private:
    QByteArray m_utf8;
    qsizetype m_nameSize = 0;
};

size_t qHash(const Header &header, size_t seed = 0);
size_t qHash(const QList<Header> &headers, size_t seed = 0);
