#include "Url.h"

#include <QHash>

Url::Url(const QString &text, const QUrl &url)
    : m_text(text), m_url(url), m_path(decodedPath(url))
{
}

std::optional<Url> Url::fromText(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    return Url(text, url);
}

QString Url::decodedPath(const QUrl &url)
{
    QString path = url.path(QUrl::FullyDecoded);
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

size_t qHash(const Url &url, size_t seed)
{
    return qHash(url.text(), seed);
}
