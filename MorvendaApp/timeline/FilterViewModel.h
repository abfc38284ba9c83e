// Registers, replaces and removes the timeline's filters in the shared repository: peer or
// session file (one shared key), text, method and quick filter. Holds the filter inputs but
// publishes nothing; the filter bar keeps its own copies. Main thread only.
#pragma once

#include "MorvendaApp/session/FilterPredicate.h"
#include "MorvendaModel/Method.h"

#include <QList>
#include <QString>

#include <optional>

class MessageRepository;

enum class TextFilter { FilterIn, FilterOut };

enum class QuickFilter { Analytics, Settings, Milestones, Other };

namespace QuickFilters {
QList<QuickFilter> allCases();
QString title(QuickFilter filter);
QString hover(QuickFilter filter);
QString symbol(QuickFilter filter);
FilterPredicatePtr predicate(QuickFilter filter);
} // namespace QuickFilters

// Label of a text-filter mode ("Filter for containing text"); also the text field's placeholder.
QString textFilterLabel(TextFilter filter);

// The text tests on an exchange's request URL path: case-sensitive substring, and an exchange
// without request or URL fails both.
bool filterInOperator(const std::optional<QString> &value, const std::optional<QString> &text);
bool filterOutOperator(const std::optional<QString> &value, const std::optional<QString> &text);

class FilterViewModel
{
public:
    explicit FilterViewModel(MessageRepository &repository);

    std::optional<QString> currentPeerName;
    std::optional<QString> currentOpenFile;
    TextFilter textFilter = TextFilter::FilterIn;
    std::optional<Method> methodFilter;
    std::optional<QString> filterInput;

    // Peer and session file share one key: the latest that stored a predicate decides. With a
    // name (file) none while the other is set, nothing changes; with both none, the key goes.
    void applyPeerFilter();
    void applyOpenFileFilter();
    void applyTextFilter();
    void applyMethodFilter();

    std::optional<QuickFilter> quickFilter() const { return m_quickFilter; }
    // Removes the previous quick filter's key (rebuilding the timeline), then registers the new
    // one's predicate; at most one quick filter is registered at any time.
    void setQuickFilter(std::optional<QuickFilter> filter);

    // The one key of the peer and session-file filters, and those of the text and method filters.
    static PredicateRegister peerKey();
    static PredicateRegister textKey();
    static PredicateRegister methodKey();

private:
    void storePeerPredicate(const QString &peer);
    void removeKeyed(const PredicateRegister &key);

    std::optional<QuickFilter> m_quickFilter;
    MessageRepository &m_repository;
};
