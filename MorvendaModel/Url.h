// A URL as it travels on the wire: the original text is kept verbatim as UTF-8 for writing back,
// display and copy (QUrl normalises). Its parsed form and its percent-decoded path are computed on
// first use and kept: most stored URLs are never looked at, and the path of a plain URL is read
// without parsing it. Immutable value; copies share one block; safe to copy and read across threads.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QExplicitlySharedDataPointer>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

class Url
{
public:
    // Empty optional when the text is not a URL (empty text, or text QUrl cannot parse even
    // tolerantly). Relative references are URLs. A lone surrogate becomes U+FFFD.
    static std::optional<Url> fromText(const QString &text);
    // The same from UTF-8 as received; an invalid sequence becomes U+FFFD.
    static std::optional<Url> fromUtf8(QByteArrayView utf8);

    Url(const Url &other);
    Url(Url &&other) noexcept;
    Url &operator=(const Url &other);
    Url &operator=(Url &&other) noexcept;
    ~Url();

    // The text exactly as received or given, decoded on every call.
    QString text() const;
    const QByteArray &utf8() const;
    const QUrl &qurl() const;
    // The percent-decoded path; a trailing "/" is dropped except for the root path "/" itself.
    // Empty when the URL has no path ("https://host").
    const QString &path() const;
    // The path and the query as the text spells them, escapes unchanged: QUrl re-encodes escapes,
    // so two paths the app keeps apart ("%41" and "A") would read alike through it. The path lies
    // between the authority (or the scheme, or the start) and the first "?" or "#"; it is empty
    // when there is none. The query lies after the first "?" and before the first "#"; absent
    // without a "?". Decoded from the UTF-8 on every call.
    QString rawPath() const;
    std::optional<QString> rawQuery() const;

    // URLs compare and hash by their exact text.
    friend bool operator==(const Url &a, const Url &b);

    // The path rule, exposed for callers that hold a QUrl of their own.
    static QString decodedPath(const QUrl &url);

private:
    struct Data;
    explicit Url(Data *data);

    QExplicitlySharedDataPointer<const Data> d;
};

size_t qHash(const Url &url, size_t seed = 0);
