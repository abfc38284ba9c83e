#include "DeeplinkUrl.h"

#include <QUrl>

namespace DeeplinkUrl {
namespace {

bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

// Sub-delimiters, ":" and "@": allowed in a path segment by the URL grammar.
bool isSegmentSafe(char c)
{
    return isUnreserved(c) || QByteArrayView("!$&'()*+,;=:@").contains(c);
}

bool isQuerySafe(char c)
{
    return isSegmentSafe(c) && !QByteArrayView("&=+").contains(c);
}

template<typename Safe>
QString encode(QStringView text, Safe safe)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        if (safe(c)) {
            out.append(QLatin1Char(c));
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.append(u'%');
            out.append(QLatin1Char(hex[byte >> 4]));
            out.append(QLatin1Char(hex[byte & 0xF]));
        }
    }
    return out;
}

void appendTypedPath(QString &link, QStringView typed)
{
    if (typed.isEmpty())
        return;
    if (typed.startsWith(u'/'))
        typed = typed.mid(1);
    qsizetype start = 0;
    while (true) {
        const qsizetype slash = typed.indexOf(u'/', start);
        const QStringView segment = typed.mid(start, slash < 0 ? -1 : slash - start);
        link.append(u'/');
        link.append(encodePathSegment(segment));
        if (slash < 0)
            break;
        start = slash + 1;
    }
}

} // namespace

QString encodePathSegment(QStringView segment)
{
    return encode(segment, isSegmentSafe);
}

QString encodeQueryComponent(QStringView component)
{
    return encode(component, isQuerySafe);
}

std::optional<QString> build(const QString &base, const Deeplink &deeplink, const QHash<QString, QString> &inputs)
{
    const QUrl parsed(base, QUrl::StrictMode);
    if (base.isEmpty() || !parsed.isValid() || parsed.isRelative())
        return std::nullopt;

    QString path = base;
    QString query;
    const bool baseHasQuery = parsed.hasQuery();
    const auto appendQuery = [&](const QString &name, const QString &value) {
        query.append(query.isEmpty() && !baseHasQuery ? u'?' : u'&');
        query.append(encodeQueryComponent(name));
        query.append(u'=');
        query.append(encodeQueryComponent(value));
    };
    bool trimmed = false;
    const auto trimTrailingSlash = [&] {
        // An origin given with its root "/" must not double the separator.
        if (!trimmed && path.endsWith(u'/'))
            path.chop(1);
        trimmed = true;
    };
    for (const DeeplinkComponent &component : deeplink.components) {
        switch (component.kind) {
        case DeeplinkComponent::Kind::Path:
            trimTrailingSlash();
            appendTypedPath(path, component.first);
            break;
        case DeeplinkComponent::Kind::Input: {
            const QString typed = inputs.value(component.id());
            if (!typed.isEmpty())
                trimTrailingSlash();
            appendTypedPath(path, typed);
            break;
        }
        case DeeplinkComponent::Kind::QueryItem:
            appendQuery(component.first, component.second);
            break;
        case DeeplinkComponent::Kind::QueryItemInput:
            appendQuery(component.first, inputs.value(component.id()));
            break;
        }
    }
    return path + query;
}

} // namespace DeeplinkUrl
