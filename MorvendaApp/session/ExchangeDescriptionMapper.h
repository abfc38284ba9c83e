// The short text shown beside a request in the timeline: the event keys of an analytics call, the
// setting a setting-assignment call asks for, or the milestone a milestone call carries. The
// patterns run on untrusted bodies, so they use PCRE2 (heap backtracking, match limits) and a
// failed or aborted match simply gives no description. Main thread only.
#pragma once

#include "MorvendaApp/session/Exchange.h"

#include <QRegularExpression>
#include <QString>

#include <optional>

// One regular expression compiled on first use and kept; a pattern that does not compile stays
// absent for good.
class LazyRegex
{
public:
    explicit LazyRegex(QString pattern) : m_pattern(std::move(pattern)) {}
    const QRegularExpression *get();

private:
    QString m_pattern;
    bool m_built = false;
    std::optional<QRegularExpression> m_regex;
};

class AnalyticsExchangeDescriptionMapper
{
public:
    // Values of the first of event_key, path, container_name that yields any; with n >= 2 values
    // a leading "(xn)" element; joined by ",".
    std::optional<QString> describe(const Request &request);

private:
    LazyRegex m_eventKeyRegex{QStringLiteral("(\"event_key\".+): (.+),")};
    LazyRegex m_pathKeyRegex{QStringLiteral("(\"path\".+): (.+),")};
    LazyRegex m_containerNameKeyRegex{QStringLiteral("(\"container_name\".+): (.+),")};
};

class SettingsExchangeDescriptionMapper
{
public:
    // From just after the first "setting=" of the URL text to its last "&".
    std::optional<QString> describe(const Request &request);

private:
    LazyRegex m_eventKeyRegex{QStringLiteral("(setting=)(.+)&")};
};

class MilestonesExchangeDescriptionMapper
{
public:
    // The retailer milestone's value, else the brand milestone's.
    std::optional<QString> describe(const Request &request);

private:
    LazyRegex m_retailerMilestoneRegex{QStringLiteral("(\"retailer_milestone\".*:)(.+),")};
    LazyRegex m_brandMilestoneRegex{QStringLiteral("(\"brand_milestone\".*:)(.+),")};
};

class ExchangeDescriptionMapper
{
public:
    // Classifies the request by path (analytics, then setting assignment, then milestones) and
    // asks that class's mapper alone. No request, no match: no description.
    static std::optional<QString> describe(const Exchange &exchange);
};
