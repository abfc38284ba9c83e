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

namespace {

// The text before the fragment.
QStringView withoutFragment(const QString &text)
{
    const qsizetype fragment = text.indexOf(u'#');
    return fragment < 0 ? QStringView(text) : QStringView(text).first(fragment);
}

// The length of a leading "scheme:" (RFC 3986: a letter, then letters, digits, "+", "-", "."),
// or 0 when the text does not start with one.
qsizetype schemeLength(QStringView text)
{
    const auto isAlpha = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (text.isEmpty() || !isAlpha(text.front()))
        return 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u':')
            return i + 1;
        if (!isAlpha(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
            return 0;
    }
    return 0;
}

} // namespace

QStringView Url::rawPath() const
{
    QStringView text = withoutFragment(m_text);
    const qsizetype mark = text.indexOf(u'?');
    if (mark >= 0)
        text = text.first(mark);
    text = text.sliced(schemeLength(text));
    if (text.startsWith(u"//")) {
        const qsizetype slash = text.indexOf(u'/', 2);
        text = slash < 0 ? QStringView() : text.sliced(slash);
    }
    return text;
}

std::optional<QStringView> Url::rawQuery() const
{
    const QStringView text = withoutFragment(m_text);
    const qsizetype mark = text.indexOf(u'?');
    if (mark < 0)
        return std::nullopt;
    return text.sliced(mark + 1);
}

size_t qHash(const Url &url, size_t seed)
{
    return qHash(url.text(), seed);
}
