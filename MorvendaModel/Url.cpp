#include "Url.h"

#include "Utf8Text.h"

#include <QHash>
#include <QSharedData>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A host of plain DNS labels ending in one that starts with a letter: no IP literal, no
// international name, nothing QUrl could reject or rewrite beyond letter case.
bool isPlainHost(QByteArrayView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    qsizetype labelStart = 0;
    while (labelStart <= host.size()) {
        qsizetype labelEnd = host.indexOf('.', labelStart);
        if (labelEnd < 0)
            labelEnd = host.size();
        const QByteArrayView label = host.sliced(labelStart, labelEnd - labelStart);
        if (label.isEmpty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        if (label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-'
            && label[3] == '-') {
            return false;
        }
        for (const char c : label) {
            if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '-')
                return false;
        }
        if (labelEnd == host.size())
            return isAsciiLetter(label.front());
        labelStart = labelEnd + 1;
    }
    return false;
}

bool isPlainPort(QByteArrayView port)
{
    if (port.isEmpty() || port.size() > 5)
        return false;
    int value = 0;
    for (const char c : port) {
        if (!isAsciiDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 65535;
}

// The raw path of a URL that QUrl surely accepts as it stands ("scheme://host[:port]" followed by
// visible ASCII with only well-formed percent escapes), or nothing for any other text, which is
// then left to QUrl. The path ends at "?" or "#".
std::optional<QByteArrayView> plainUrlPath(QByteArrayView text)
{
    qsizetype i = 0;
    if (text.isEmpty() || !isAsciiLetter(text[0]))
        return std::nullopt;
    while (i < text.size()
           && (isAsciiLetter(text[i]) || isAsciiDigit(text[i]) || text[i] == '+' || text[i] == '-'
               || text[i] == '.')) {
        ++i;
    }
    if (!text.sliced(i).startsWith("://"))
        return std::nullopt;
    i += 3;
    const qsizetype authorityStart = i;
    while (i < text.size() && text[i] != '/' && text[i] != '?' && text[i] != '#')
        ++i;
    const QByteArrayView authority = text.sliced(authorityStart, i - authorityStart);
    const qsizetype colon = authority.indexOf(':');
    if (!isPlainHost(colon < 0 ? authority : authority.first(colon)))
        return std::nullopt;
    if (colon >= 0 && !isPlainPort(authority.sliced(colon + 1)))
        return std::nullopt;
    // Everything after the authority: visible ASCII (checked branch-free, so the loop
    // vectorises), percent escapes well formed; the path ends at the first "?" or "#".
    const QByteArrayView rest = text.sliced(i);
    unsigned char lowest = 0xFF;
    unsigned char highest = 0;
    for (const char c : rest) {
        lowest = std::min(lowest, static_cast<unsigned char>(c));
        highest = std::max(highest, static_cast<unsigned char>(c));
    }
    if (!rest.isEmpty() && (lowest <= 0x20 || highest >= 0x7F))
        return std::nullopt;
    for (qsizetype p = rest.indexOf('%'); p >= 0; p = rest.indexOf('%', p + 1)) {
        if (p + 2 >= rest.size() || !isHexDigit(rest[p + 1]) || !isHexDigit(rest[p + 2]))
            return std::nullopt;
    }
    qsizetype pathEnd = rest.indexOf('?');
    const qsizetype fragment = rest.indexOf('#');
    if (pathEnd < 0 || (fragment >= 0 && fragment < pathEnd))
        pathEnd = fragment;
    return pathEnd < 0 ? rest : rest.first(pathEnd);
}

// A flag for work done once, read from any thread (filters run on several). std::call_once would do,
// but glibc ends each first call with a futex wake, a system call for every URL stored. Here the
// first call takes one lock shared by all flags, uncontended in practice; it is recursive because
// working out a path may parse the URL under it.
std::recursive_mutex &onceLock()
{
    static std::recursive_mutex lock;
    return lock;
}

class OnceFlag
{
public:
    template<typename Work>
    void run(Work &&work)
    {
        if (m_done.load(std::memory_order_acquire))
            return;
        const std::lock_guard guard(onceLock());
        if (m_done.load(std::memory_order_relaxed))
            return;
        work();
        m_done.store(true, std::memory_order_release);
    }

private:
    std::atomic<bool> m_done{false};
};

} // namespace

struct Url::Data : QSharedData
{
    explicit Data(QByteArray utf8) : utf8(std::move(utf8)) {}

    const QByteArray utf8;
    mutable OnceFlag parsed;
    mutable QUrl url;
    mutable OnceFlag pathComputed;
    mutable QString path;
};

Url::Url(Data *data) : d(data) {}
Url::Url(const Url &other) = default;
Url::Url(Url &&other) noexcept = default;
Url &Url::operator=(const Url &other) = default;
Url &Url::operator=(Url &&other) noexcept = default;
Url::~Url() = default;

std::optional<Url> Url::fromText(const QString &text)
{
    return fromUtf8(Utf8Text::fromText(text));
}

std::optional<Url> Url::fromUtf8(QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return std::nullopt;
    // A plain URL is ASCII, so it needs no UTF-8 check.
    if (plainUrlPath(utf8))
        return Url(new Data(utf8.toByteArray()));
    // Anything else is parsed now to be judged, and the parse is kept.
    auto *data = new Data(Utf8Text::validated(utf8.toByteArray()));
    Url url(data);
    const QUrl parsed(QString::fromUtf8(data->utf8), QUrl::TolerantMode);
    if (!parsed.isValid())
        return std::nullopt;
    data->parsed.run([&] { data->url = parsed; });
    return url;
}

QString Url::text() const
{
    return QString::fromUtf8(d->utf8);
}

const QByteArray &Url::utf8() const
{
    return d->utf8;
}

const QUrl &Url::qurl() const
{
    d->parsed.run([this] { d->url = QUrl(QString::fromUtf8(d->utf8), QUrl::TolerantMode); });
    return d->url;
}

const QString &Url::path() const
{
    d->pathComputed.run([this] {
        const std::optional<QByteArrayView> raw = plainUrlPath(d->utf8);
        if (raw && !raw->contains('%')) {
            const QByteArrayView path = raw->size() > 1 && raw->endsWith('/') ? raw->chopped(1) : *raw;
            d->path = QString::fromLatin1(path);
        } else {
            d->path = decodedPath(qurl());
        }
    });
    return d->path;
}

namespace {

// The text before the fragment.
QByteArrayView withoutFragment(QByteArrayView text)
{
    const qsizetype fragment = text.indexOf('#');
    return fragment < 0 ? text : text.first(fragment);
}

// The length of a leading "scheme:" (a letter, then letters, digits, "+", "-", "."), or 0 when the
// text does not start with one.
qsizetype schemeLength(QByteArrayView text)
{
    if (text.isEmpty() || !isAsciiLetter(text.front()))
        return 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':')
            return i + 1;
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

} // namespace

QString Url::rawPath() const
{
    QByteArrayView text = withoutFragment(d->utf8);
    const qsizetype mark = text.indexOf('?');
    if (mark >= 0)
        text = text.first(mark);
    text = text.sliced(schemeLength(text));
    if (text.startsWith("//")) {
        const qsizetype slash = text.indexOf('/', 2);
        text = slash < 0 ? QByteArrayView() : text.sliced(slash);
    }
    return QString::fromUtf8(text);
}

std::optional<QString> Url::rawQuery() const
{
    const QByteArrayView text = withoutFragment(d->utf8);
    const qsizetype mark = text.indexOf('?');
    if (mark < 0)
        return std::nullopt;
    return QString::fromUtf8(text.sliced(mark + 1));
}

bool operator==(const Url &a, const Url &b)
{
    return a.d == b.d || a.d->utf8 == b.d->utf8;
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
    return qHash(url.utf8(), seed);
}
