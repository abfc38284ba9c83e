// A URL as it travels on the wire: the original text is kept verbatim for writing back, display and
// copy (QUrl normalises), beside its parsed form and its percent-decoded path, computed once.
// Immutable value; safe to copy across threads.
#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

class Url
{
public:
    // Empty optional when the text is not a URL (empty text, or text QUrl cannot parse even
    // tolerantly). Relative references are URLs.
    static std::optional<Url> fromText(const QString &text);

    // The text exactly as received or given.
    const QString &text() const { return m_text; }
    const QUrl &qurl() const { return m_url; }
    // The percent-decoded path; a trailing "/" is dropped except for the root path "/" itself.
    // Empty when the URL has no path ("https://host").
    const QString &path() const { return m_path; }
    // The path and the query as the text spells them, escapes unchanged: QUrl re-encodes escapes,
    // so two paths the app keeps apart ("%41" and "A") would read alike through it. The path lies
    // between the authority (or the scheme, or the start) and the first "?" or "#"; it is empty
    // when there is none. The query lies after the first "?" and before the first "#"; absent
    // without a "?". Views into text(), valid as long as this URL.
    QStringView rawPath() const;
    std::optional<QStringView> rawQuery() const;

    // URLs compare and hash by their exact text.
    friend bool operator==(const Url &a, const Url &b) { return a.m_text == b.m_text; }

    // The path rule, exposed for callers that hold a QUrl of their own.
    static QString decodedPath(const QUrl &url);

private:
    Url(const QString &text, const QUrl &url);

    QString m_text;
    QUrl m_url;
    QString m_path;
};

size_t qHash(const Url &url, size_t seed = 0);
