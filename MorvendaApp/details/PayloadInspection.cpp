#include "PayloadInspection.h"

#include "MorvendaApp/core/L10n.h"

#include <QStringDecoder>


namespace {

// Keeps the fields whose name is not excluded, in the order given.
class FieldCollector
{
public:
    explicit FieldCollector(const QStringList &excluded) : m_excluded(excluded) {}

    template<typename T>
    void add(const QString &name, const std::optional<T> &value)
    {
        if (value)
            add(name, DetailValue(*value));
    }
    void add(const QString &name, DetailValue value)
    {
        if (!m_excluded.contains(name))
            m_rows.append(DetailInfoProperty::make(name, std::move(value)));
    }
    void addDate(const QString &name, std::optional<double> seconds)
    {
        if (seconds)
            add(name, DetailDate{*seconds});
    }

    QList<DetailInfoProperty> rows() const { return m_rows; }

private:
    const QStringList &m_excluded;
    QList<DetailInfoProperty> m_rows;
};

const QStringList &infoExclusions()
{
    static const QStringList excluded = {QStringLiteral("headers"), QStringLiteral("data")};
    return excluded;
}

QList<DetailInfoProperty> headerProperties(const QList<Header> &headers, const QString &left)
{
    QList<DetailInfoProperty> rows;
    rows.reserve(headers.size());
    for (const Header &header : headers) {
        QString name = header.name();
        if (left.isNull() || name != left)
            rows.append(DetailInfoProperty::make(std::move(name), header.value()));
    }
    return rows;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Only "%" followed by two hexadecimal digits is an escape; any other "%" stays as sent
// ("50%OFF"), where a lenient decoder turns the next characters into arbitrary bytes. When the
// decoded bytes are not UTF-8 the text is shown as sent, not with replacement characters.
QString percentDecoded(QStringView text)
{
    if (!text.contains(u'%'))
        return text.toString();
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '%' && i + 2 < utf8.size()) {
            const int high = hexValue(utf8[i + 1]);
            const int low = hexValue(utf8[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        bytes.append(utf8[i]);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString decoded = decoder(bytes);
    if (decoder.hasError())
        return text.toString();
    return decoded;
}

} // namespace

QString RequestDetails::title() const
{
    return L10n::text("Request");
}

QList<DetailInfoProperty> RequestDetails::info() const
{
    return PayloadInspection::mirrorProperties(m_request, infoExclusions());
}

QList<DetailInfoProperty> RequestDetails::headers() const
{
    return headerProperties(m_request.headers(), QStringLiteral("Cookie"));
}

QList<DetailInfoProperty> RequestDetails::cookies() const
{
    return PayloadInspection::cookieProperties(m_request.headers(), QStringLiteral("Cookie"));
}

QList<DetailInfoProperty> RequestDetails::query() const
{
    return PayloadInspection::queryItemProperties(m_request.url());
}

QString ResponseDetails::title() const
{
    return L10n::text("Response");
}

QList<DetailInfoProperty> ResponseDetails::info() const
{
    return PayloadInspection::mirrorProperties(m_response, infoExclusions());
}

QList<DetailInfoProperty> ResponseDetails::headers() const
{
    return headerProperties(m_response.headers(), QString());
}

QList<DetailInfoProperty> ResponseDetails::cookies() const
{
    return PayloadInspection::cookieProperties(m_response.headers(), QStringLiteral("Set-Cookie"));
}

QList<DetailInfoProperty> ResponseDetails::query() const
{
    return PayloadInspection::queryItemProperties(m_response.url());
}

namespace PayloadInspection {

QList<DetailInfoProperty> mirrorProperties(const Request &request, const QStringList &excluded)
{
    FieldCollector fields(excluded);
    fields.add(QStringLiteral("id"), request.messageID());
    fields.add(QStringLiteral("url"), request.url());
    fields.add(QStringLiteral("method"), request.method());
    fields.addDate(QStringLiteral("timestamp"), request.timestamp());
    fields.add(QStringLiteral("data"), request.data());
    fields.add(QStringLiteral("headers"), request.headers());
    return fields.rows();
}

QList<DetailInfoProperty> mirrorProperties(const Response &response, const QStringList &excluded)
{
    FieldCollector fields(excluded);
    fields.add(QStringLiteral("id"), response.messageID());
    fields.add(QStringLiteral("batchID"), response.batchID());
    fields.add(QStringLiteral("statusCode"), response.statusCode());
    fields.add(QStringLiteral("url"), response.url());
    fields.add(QStringLiteral("source"), response.source());
    fields.addDate(QStringLiteral("timestamp"), response.timestamp());
    fields.add(QStringLiteral("headers"), response.headers());
    fields.add(QStringLiteral("data"), response.data());
    return fields.rows();
}

QList<DetailInfoProperty> cookieProperties(const QList<Header> &headers, const QString &headerName)
{
    QList<DetailInfoProperty> rows;
    for (const Header &header : headers) {
        if (header.name() != headerName)
            continue;
        const QString value = header.value();
        for (const QStringView part : QStringView(value).split(u';')) {
            const qsizetype equals = part.indexOf(u'=');
            if (equals < 0)
                rows.append(DetailInfoProperty::make(part.toString(), part.toString()));
            else
                rows.append(DetailInfoProperty::make(part.first(equals).toString(), part.sliced(equals + 1).toString()));
        }
        break;
    }
    return rows;
}

QList<DetailInfoProperty> queryItemProperties(const std::optional<Url> &url)
{
    QList<DetailInfoProperty> rows;
    const std::optional<QString> query = url ? url->rawQuery() : std::nullopt;
    if (!query || query->isEmpty())
        return rows;
    for (const QStringView item : QStringView(*query).split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        if (equals < 0)
            rows.append(DetailInfoProperty::make(percentDecoded(item), QString()));
        else
            rows.append(DetailInfoProperty::make(percentDecoded(item.first(equals)), percentDecoded(item.sliced(equals + 1))));
    }
    return rows;
}

QString apiExplorerPath(const Url &url)
{
    const QString path = url.qurl().path(QUrl::FullyDecoded);
    QStringList segments = path.split(u'/', Qt::SkipEmptyParts);
    // The first path component is the root "/" of an absolute path, otherwise the first segment.
    if (!path.startsWith(u'/') && !segments.isEmpty())
        segments.removeFirst();
    for (QString &segment : segments) {
        if (segment.contains(u'_'))
            segment = QStringLiteral("token");
    }
    return segments.join(u'/');
}

std::optional<QUrl> apiExplorerURL(const Url &url)
{
    // Encoded once, as a query value: "/" and the sub-delimiters that cannot end a value stay;
    // "&", "=", "+", "#", "%", spaces and non-ASCII characters are encoded.
    const QByteArray value = QUrl::toPercentEncoding(apiExplorerPath(url), "/:@!$'()*,;");
    const QByteArray link = QByteArray(kApiExplorerOrigin) + "/api/explorer/endpoint?q=" + value;
    QUrl explorer = QUrl::fromEncoded(link, QUrl::StrictMode);
    if (!explorer.isValid())
        return std::nullopt;
    return explorer;
}

} // namespace PayloadInspection
