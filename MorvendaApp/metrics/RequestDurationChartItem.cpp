#include "MorvendaApp/metrics/RequestDurationChartItem.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/Exchange.h"

#include <QHashFunctions>

#include <algorithm>

size_t qHash(const RequestDurationChartItem &item, size_t seed)
{
    return qHashMulti(seed, item.id, item.duration, item.startDate, item.endDate, item.path);
}

namespace {

// Characters below U+0300 are their own NFC form, which covers every ASCII path.
bool mayNeedNormalizing(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x300; });
}

// UTF-16 code units reordered so that comparing them compares code points: surrogates (which
// encode U+10000 and above) move above U+E000–U+FFFF.
char16_t codePointRank(char16_t unit)
{
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return char16_t(unit + 0x2000);
    if (unit >= 0xE000)
        return char16_t(unit - 0x800);
    return unit;
}

} // namespace

std::optional<QString> RequestDurationPaths::pathKey(const Exchange &exchange)
{
    const std::optional<Request> &request = exchange.request();
    if (!request || !request->url())
        return std::nullopt;
    const QString raw = request->url()->rawPath();
    if (mayNeedNormalizing(raw))
        return raw.normalized(QString::NormalizationForm_C);
    return raw;
}

bool RequestDurationPaths::lessThan(const QString &a, const QString &b)
{
    const auto [ia, ib] = std::mismatch(a.cbegin(), a.cend(), b.cbegin(), b.cend());
    if (ib == b.cend())
        return false;
    if (ia == a.cend())
        return true;
    return codePointRank(ia->unicode()) < codePointRank(ib->unicode());
}

QString RequestDurationPaths::displayName(const QString &path)
{
    return path.isEmpty() ? L10n::text("RequestDurationChart.emptyPath") : path;
}

std::optional<RequestDurationChartItem> RequestDurationPaths::makeItem(const Exchange &exchange, const QString &path)
{
    // A duration implies a request timestamp and a last response with one.
    const std::optional<double> duration = exchange.duration();
    if (!duration || !exchange.request()->url())
        return std::nullopt;
    return RequestDurationChartItem{exchange.messageID(), *duration, *exchange.request()->timestamp(),
                                    *exchange.responses().constLast().timestamp(), path};
}

std::optional<RequestDurationChartItem> RequestDurationPaths::makeItem(const Exchange &exchange)
{
    const std::optional<QString> path = pathKey(exchange);
    return path ? makeItem(exchange, *path) : std::nullopt;
}
