#include "MorvendaApp/timeline/FilterViewModel.h"

#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/core/L10n.h"

#include <memory>

QList<QuickFilter> QuickFilters::allCases()
{
    return {QuickFilter::Analytics, QuickFilter::Settings, QuickFilter::Milestones, QuickFilter::Other};
}

QString QuickFilters::title(QuickFilter filter)
{
    switch (filter) {
    case QuickFilter::Analytics: return L10n::text("QuickFilter.Analytics.title");
    case QuickFilter::Settings: return L10n::text("QuickFilter.Settings.title");
    case QuickFilter::Milestones: return L10n::text("QuickFilter.Milestones.title");
    case QuickFilter::Other: return L10n::text("QuickFilter.Others.title");
    }
    return {};
}

QString QuickFilters::hover(QuickFilter filter)
{
    switch (filter) {
    case QuickFilter::Analytics: return L10n::text("QuickFilter.Analytics.hover");
    case QuickFilter::Settings: return L10n::text("QuickFilter.Settings.hover");
    case QuickFilter::Milestones: return L10n::text("QuickFilter.Milestones.hover");
    case QuickFilter::Other: return L10n::text("QuickFilter.Others.hover");
    }
    return {};
}

QString QuickFilters::symbol(QuickFilter filter)
{
    switch (filter) {
    case QuickFilter::Analytics: return QStringLiteral("chart.bar.xaxis");
    case QuickFilter::Settings: return QStringLiteral("square.and.pencil");
    case QuickFilter::Milestones: return QStringLiteral("flag.fill");
    case QuickFilter::Other: return QStringLiteral("network");
    }
    return {};
}

FilterPredicatePtr QuickFilters::predicate(QuickFilter filter)
{
    switch (filter) {
    case QuickFilter::Analytics: return std::make_shared<AnalyticsFilterPredicate>();
    case QuickFilter::Settings: return std::make_shared<SettingFilterPredicate>();
    case QuickFilter::Milestones: return std::make_shared<MilestoneFilterPredicate>();
    case QuickFilter::Other: return std::make_shared<OtherFilterPredicate>();
    }
    return {};
}

QString textFilterLabel(TextFilter filter)
{
    return filter == TextFilter::FilterIn ? L10n::text("Filter.filterIn") : L10n::text("Filter.filterOut");
}

bool filterInOperator(const std::optional<QString> &value, const std::optional<QString> &text)
{
    return PathText::containing(value, text);
}

bool filterOutOperator(const std::optional<QString> &value, const std::optional<QString> &text)
{
    return PathText::notContaining(value, text);
}

FilterViewModel::FilterViewModel(MessageRepository &repository)
    : m_repository(repository)
{
}

PredicateRegister FilterViewModel::peerKey()
{
    return PredicateRegister::keypath(KeyPaths::peer.id);
}

PredicateRegister FilterViewModel::textKey()
{
    return PredicateRegister::keypath(KeyPaths::requestPath.id);
}

PredicateRegister FilterViewModel::methodKey()
{
    return PredicateRegister::keypath(KeyPaths::requestMethod.id);
}

void FilterViewModel::applyPeerFilter()
{
    if (currentPeerName)
        storePeerPredicate(*currentPeerName);
    else if (!currentOpenFile)
        removeKeyed(peerKey());
}

void FilterViewModel::applyOpenFileFilter()
{
    if (currentOpenFile)
        storePeerPredicate(*currentOpenFile);
    else if (!currentPeerName)
        removeKeyed(peerKey());
}

void FilterViewModel::applyTextFilter()
{
    if (!filterInput || filterInput->isEmpty()) {
        removeKeyed(textKey());
        return;
    }
    // The text filter's own predicate (the same test as the operators above): the repository
    // answers it from its path texts, and a keystroke that only adds to or takes from the text
    // tests only the rows whose answer can change.
    m_repository.registerPredicate(std::make_shared<PathTextFilterPredicate>(
        textFilter == TextFilter::FilterIn ? PathTextFilterPredicate::Mode::Containing
                                           : PathTextFilterPredicate::Mode::NotContaining,
        filterInput));
}

void FilterViewModel::applyMethodFilter()
{
    if (!methodFilter) {
        removeKeyed(methodKey());
        return;
    }
    m_repository.registerPredicate(std::make_shared<KeypathFilterPredicate<std::optional<Method>>>(
        KeyPaths::requestMethod, methodFilter,
        [](const std::optional<Method> &value, const std::optional<Method> &wanted) {
            return value.has_value() && value == wanted;
        }));
}

void FilterViewModel::setQuickFilter(std::optional<QuickFilter> filter)
{
    const std::optional<QuickFilter> previous = m_quickFilter;
    m_quickFilter = filter;
    if (previous)
        removeKeyed(QuickFilters::predicate(*previous)->registration());
    if (filter)
        m_repository.registerPredicate(QuickFilters::predicate(*filter));
}

void FilterViewModel::storePeerPredicate(const QString &peer)
{
    m_repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
        KeyPaths::peer, peer, [](const QString &value, const QString &wanted) { return value == wanted; }));
}

void FilterViewModel::removeKeyed(const PredicateRegister &key)
{
    m_repository.removePredicate(key);
}
