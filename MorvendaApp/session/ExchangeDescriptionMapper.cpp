#include "MorvendaApp/session/ExchangeDescriptionMapper.h"

#include "MorvendaApp/session/FilterPredicate.h"

#include <QStringList>

const QRegularExpression *LazyRegex::get()
{
    if (!m_built) {
        m_built = true;
        // "(*ANY)" makes every Unicode line break a newline, so "." stops at CR, U+0085, U+2028
        // and U+2029 as well as LF, as the patterns were written to expect.
        QRegularExpression regex(QStringLiteral("(*ANY)") + m_pattern);
        if (regex.isValid()) {
            regex.optimize();
            m_regex = std::move(regex);
        }
    }
    return m_regex ? &*m_regex : nullptr;
}

namespace {

// The last capture group of every non-overlapping match, in text order. The subject's encoding
// is checked by the first match only: checked again at every match, a body of many events cost
// time quadratic in its size. An engine error (a match limit reached on a hostile body) gives
// none: no description, rather than the values found before it.
std::optional<QStringList> lastGroups(const QRegularExpression &regex, const QString &text)
{
    QStringList values;
    const int last = regex.captureCount();
    qsizetype offset = 0;
    QRegularExpression::MatchOptions options = QRegularExpression::NoMatchOption;
    while (offset <= text.size()) {
        const QRegularExpressionMatch match =
            regex.match(text, offset, QRegularExpression::NormalMatch, options);
        if (!match.isValid())
            return std::nullopt;
        if (!match.hasMatch())
            break;
        if (match.capturedStart(last) >= 0)
            values.append(match.captured(last));
        // None of the patterns matches empty text, so a match always moves forward.
        offset = std::max(match.capturedEnd(0), offset + 1);
        options = QRegularExpression::DontCheckSubjectStringMatchOption;
    }
    return values;
}

std::optional<QString> firstLastGroup(const QRegularExpression &regex, const QString &text)
{
    const QRegularExpressionMatch match = regex.match(text);
    const int last = regex.captureCount();
    if (!match.hasMatch() || match.capturedStart(last) < 0)
        return std::nullopt;
    return match.captured(last);
}

} // namespace

std::optional<QString> AnalyticsExchangeDescriptionMapper::describe(const Request &request)
{
    const std::optional<QString> &body = request.data();
    if (!body)
        return std::nullopt;
    for (LazyRegex *slot : {&m_eventKeyRegex, &m_pathKeyRegex, &m_containerNameKeyRegex}) {
        const QRegularExpression *regex = slot->get();
        if (!regex)
            continue;
        std::optional<QStringList> found = lastGroups(*regex, *body);
        if (!found)
            return std::nullopt;
        QStringList &values = *found;
        if (values.isEmpty())
            continue;
        if (values.size() >= 2)
            values.prepend(QStringLiteral("(x") + QString::number(values.size()) + QLatin1Char(')'));
        return values.join(QLatin1Char(','));
    }
    return std::nullopt;
}

std::optional<QString> SettingsExchangeDescriptionMapper::describe(const Request &request)
{
    if (!request.url())
        return std::nullopt;
    const QRegularExpression *regex = m_eventKeyRegex.get();
    if (!regex)
        return std::nullopt;
    return firstLastGroup(*regex, request.url()->text());
}

std::optional<QString> MilestonesExchangeDescriptionMapper::describe(const Request &request)
{
    const std::optional<QString> &body = request.data();
    if (!body)
        return std::nullopt;
    for (LazyRegex *slot : {&m_retailerMilestoneRegex, &m_brandMilestoneRegex}) {
        const QRegularExpression *regex = slot->get();
        if (!regex)
            continue;
        if (std::optional<QString> value = firstLastGroup(*regex, *body))
            return value;
    }
    return std::nullopt;
}

std::optional<QString> ExchangeDescriptionMapper::describe(const Exchange &exchange)
{
    static const AnalyticsFilterPredicate analyticsPredicate;
    static const SettingFilterPredicate settingsPredicate;
    static const MilestoneFilterPredicate milestonesPredicate;
    static AnalyticsExchangeDescriptionMapper analyticsMapper;
    static SettingsExchangeDescriptionMapper settingsMapper;
    static MilestonesExchangeDescriptionMapper milestonesMapper;

    if (!exchange.request())
        return std::nullopt;
    const Request &request = *exchange.request();
    if (analyticsPredicate.match(exchange))
        return analyticsMapper.describe(request);
    if (settingsPredicate.match(exchange))
        return settingsMapper.describe(request);
    if (milestonesPredicate.match(exchange))
        return milestonesMapper.describe(request);
    return std::nullopt;
}
