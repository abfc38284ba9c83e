#include "MorvendaApp/session/FilterPredicate.h"

#include <QHashFunctions>

namespace KeyPaths {

const KeyPath<QString> peer{ExchangeKeyPath::Peer, [](const Exchange &e) -> const QString & { return e.peer(); }};

const KeyPath<std::optional<QString>> requestPath{
    ExchangeKeyPath::RequestPath, [](const Exchange &e) -> const std::optional<QString> & { return e.requestPath(); }};

const KeyPath<std::optional<Method>> requestMethod{
    ExchangeKeyPath::RequestMethod, [](const Exchange &e) -> const std::optional<Method> & { return e.requestMethod(); }};

} // namespace KeyPaths

size_t qHash(const PredicateRegister &key, size_t seed)
{
    const int keyPath = key.keyPath() ? int(*key.keyPath()) : -1;
    return qHashMulti(seed, int(key.kind()), keyPath);
}

namespace KnownPaths {

QStringList analytics()
{
    return {QStringLiteral("/api/event"), QStringLiteral("/api/v2/events"),
            QStringLiteral("/api/client-event"), QStringLiteral("/api/client-events"),
            QStringLiteral("/api/click-track")};
}

QStringList settingAssignments()
{
    return {QStringLiteral("/api/setting/assign"), QStringLiteral("/api/v2/setting/assign")};
}

QString milestones()
{
    return QStringLiteral("/api/user/milestones");
}

} // namespace KnownPaths

namespace {

bool pathIsOneOf(const Exchange &exchange, const QStringList &paths)
{
    const std::optional<QString> &path = exchange.requestPath();
    return path && paths.contains(*path, Qt::CaseSensitive);
}

bool pathContains(const Exchange &exchange, const QString &part)
{
    const std::optional<QString> &path = exchange.requestPath();
    return path && path->contains(part, Qt::CaseSensitive);
}

std::vector<PathTextIndex::Needle> needlesOf(const QStringList &texts)
{
    std::vector<PathTextIndex::Needle> needles;
    for (const QString &text : texts)
        needles.emplace_back(text);
    return needles;
}

// The same two tests on a store's path texts; none when the path's text is not kept there.
std::optional<bool> pathIsOneOf(const PathTextIndex &paths, size_t position,
                                const std::vector<PathTextIndex::Needle> &needles)
{
    for (const PathTextIndex::Needle &needle : needles) {
        switch (paths.equals(position, needle)) {
        case PathTextIndex::Found::Yes: return true;
        case PathTextIndex::Found::No: break;
        case PathTextIndex::Found::Absent: return false;
        case PathTextIndex::Found::Unindexed: return std::nullopt;
        }
    }
    return false;
}

std::optional<bool> pathContains(const PathTextIndex &paths, size_t position, const PathTextIndex::Needle &needle)
{
    switch (paths.contains(position, needle)) {
    case PathTextIndex::Found::Yes: return true;
    case PathTextIndex::Found::Unindexed: return std::nullopt;
    default: return false;
    }
}

} // namespace

AllFilterPredicate::AllFilterPredicate(PredicateRegister registration)
    : m_registration(registration)
{
}

bool AllFilterPredicate::match(const Exchange &) const
{
    return true;
}

AnalyticsFilterPredicate::AnalyticsFilterPredicate(PredicateRegister registration, QStringList knownAnalyticsPaths)
    : m_registration(registration)
    , m_knownAnalyticsPaths(std::move(knownAnalyticsPaths))
    , m_needles(needlesOf(m_knownAnalyticsPaths))
{
}

bool AnalyticsFilterPredicate::match(const Exchange &exchange) const
{
    return pathIsOneOf(exchange, m_knownAnalyticsPaths);
}

std::optional<bool> AnalyticsFilterPredicate::matchPath(const PathTextIndex &paths, size_t position) const
{
    return pathIsOneOf(paths, position, m_needles);
}

SettingFilterPredicate::SettingFilterPredicate(PredicateRegister registration, QStringList knownSettingAssignmentPaths)
    : m_registration(registration)
    , m_knownSettingAssignmentPaths(std::move(knownSettingAssignmentPaths))
    , m_needles(needlesOf(m_knownSettingAssignmentPaths))
{
}

bool SettingFilterPredicate::match(const Exchange &exchange) const
{
    return pathIsOneOf(exchange, m_knownSettingAssignmentPaths);
}

std::optional<bool> SettingFilterPredicate::matchPath(const PathTextIndex &paths, size_t position) const
{
    return pathIsOneOf(paths, position, m_needles);
}

MilestoneFilterPredicate::MilestoneFilterPredicate(PredicateRegister registration, QString knownMilestonePath)
    : m_registration(registration)
    , m_knownMilestonePath(std::move(knownMilestonePath))
    , m_needle(m_knownMilestonePath)
{
}

bool MilestoneFilterPredicate::match(const Exchange &exchange) const
{
    return pathContains(exchange, m_knownMilestonePath);
}

std::optional<bool> MilestoneFilterPredicate::matchPath(const PathTextIndex &paths, size_t position) const
{
    return pathContains(paths, position, m_needle);
}

OtherFilterPredicate::OtherFilterPredicate(PredicateRegister registration)
    : m_registration(registration)
{
}

bool OtherFilterPredicate::match(const Exchange &exchange) const
{
    static const QStringList analyticsPaths = KnownPaths::analytics();
    static const QStringList settingPaths = KnownPaths::settingAssignments();
    static const QString milestonePath = KnownPaths::milestones();
    return !pathIsOneOf(exchange, settingPaths) && !pathIsOneOf(exchange, analyticsPaths)
        && !pathContains(exchange, milestonePath);
}

std::optional<bool> OtherFilterPredicate::matchPath(const PathTextIndex &paths, size_t position) const
{
    static const std::vector<PathTextIndex::Needle> analyticsPaths = needlesOf(KnownPaths::analytics());
    static const std::vector<PathTextIndex::Needle> settingPaths = needlesOf(KnownPaths::settingAssignments());
    static const PathTextIndex::Needle milestonePath(KnownPaths::milestones());
    const std::optional<bool> setting = pathIsOneOf(paths, position, settingPaths);
    const std::optional<bool> analytics = pathIsOneOf(paths, position, analyticsPaths);
    const std::optional<bool> milestone = pathContains(paths, position, milestonePath);
    if (!setting || !analytics || !milestone)
        return std::nullopt;
    return !*setting && !*analytics && !*milestone;
}

namespace PathText {

bool containing(const std::optional<QString> &path, const std::optional<QString> &text)
{
    if (!path)
        return false;
    if (!text)
        return true;
    return !text->isEmpty() && path->contains(*text, Qt::CaseSensitive);
}

bool notContaining(const std::optional<QString> &path, const std::optional<QString> &text)
{
    if (!path)
        return false;
    if (!text)
        return true;
    return text->isEmpty() || !path->contains(*text, Qt::CaseSensitive);
}

} // namespace PathText

PathTextFilterPredicate::PathTextFilterPredicate(Mode mode, std::optional<QString> text)
    : m_mode(mode), m_text(std::move(text)), m_needle(m_text.value_or(QString()))
{
}

std::optional<bool> PathTextFilterPredicate::matchPath(const PathTextIndex &paths, size_t position) const
{
    const PathTextIndex::Found found = paths.contains(position, m_needle);
    if (found == PathTextIndex::Found::Absent)
        return false;
    if (found == PathTextIndex::Found::Unindexed)
        return std::nullopt;
    if (!m_text)
        return true;
    if (m_text->isEmpty())
        return m_mode == Mode::NotContaining;
    return (found == PathTextIndex::Found::Yes) == (m_mode == Mode::Containing);
}

bool PathTextFilterPredicate::match(const Exchange &exchange) const
{
    return m_mode == Mode::Containing ? PathText::containing(exchange.requestPath(), m_text)
                                      : PathText::notContaining(exchange.requestPath(), m_text);
}

PathTextFilterPredicate::Relation PathTextFilterPredicate::relationTo(const PathTextFilterPredicate &earlier) const
{
    // Only non-empty texts of the same mode compare: a path containing the longer text contains
    // every text inside it, so containing the longer one is the narrower test and not containing
    // it the wider one.
    if (m_mode != earlier.m_mode || !m_text || !earlier.m_text || m_text->isEmpty() || earlier.m_text->isEmpty())
        return Relation::Unrelated;
    const bool longer = m_text->contains(*earlier.m_text, Qt::CaseSensitive);
    const bool shorter = earlier.m_text->contains(*m_text, Qt::CaseSensitive);
    if (longer == shorter) // equal texts, or neither inside the other
        return longer ? Relation::Narrower : Relation::Unrelated;
    const bool narrower = longer == (m_mode == Mode::Containing);
    return narrower ? Relation::Narrower : Relation::Wider;
}
