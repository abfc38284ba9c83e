// Tests on an exchange that decide whether it joins the timeline, and the keys under which the
// repository keeps them. Predicates are immutable and held through shared pointers to const, so
// copying one never copies its lists. Evaluated on the main thread as exchanges arrive, and on
// several worker threads at once when a whole store is matched again (see FilterPredicate::match).
#pragma once

#include "MorvendaApp/session/Exchange.h"
#include "MorvendaApp/session/PathTextIndex.h"
#include "MorvendaModel/Method.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

// The chains of field reads into an exchange that filters use. Shared by the repository's keypath
// predicates and the timeline's filter model, so one key path means one thing everywhere.
enum class ExchangeKeyPath {
    Peer,          // exchange.peer: QString
    RequestPath,   // exchange.request.url.path, percent-decoded: std::optional<QString>
    RequestMethod, // exchange.request.method: std::optional<Method>
};

// A key path with the type of the value it reads. Reading returns a reference into the exchange:
// filters run over every exchange, and copying a text per exchange costs more than the test.
template<typename V>
struct KeyPath
{
    ExchangeKeyPath id;
    const V &(*read)(const Exchange &exchange);
};

namespace KeyPaths {
extern const KeyPath<QString> peer;
extern const KeyPath<std::optional<QString>> requestPath;
extern const KeyPath<std::optional<Method>> requestMethod;
} // namespace KeyPaths


class PredicateRegister
{
public:
    enum class Kind { All, Analytics, Settings, Milestones, Other, Keypath };

    static PredicateRegister all() { return PredicateRegister(Kind::All); }
    static PredicateRegister analytics() { return PredicateRegister(Kind::Analytics); }
    static PredicateRegister settings() { return PredicateRegister(Kind::Settings); }
    static PredicateRegister milestones() { return PredicateRegister(Kind::Milestones); }
    static PredicateRegister other() { return PredicateRegister(Kind::Other); }
    static PredicateRegister keypath(ExchangeKeyPath keyPath) { return PredicateRegister(keyPath); }

    Kind kind() const { return m_kind; }
    // Set exactly for Kind::Keypath.
    std::optional<ExchangeKeyPath> keyPath() const { return m_keyPath; }

    friend bool operator==(const PredicateRegister &a, const PredicateRegister &b) = default;

private:
    explicit PredicateRegister(Kind kind) : m_kind(kind) {}
    explicit PredicateRegister(ExchangeKeyPath keyPath) : m_kind(Kind::Keypath), m_keyPath(keyPath) {}

    Kind m_kind;
    std::optional<ExchangeKeyPath> m_keyPath;
};

size_t qHash(const PredicateRegister &key, size_t seed = 0);

class FilterPredicate
{
public:
    virtual ~FilterPredicate() = default;
    virtual PredicateRegister registration() const = 0;
    // No side effects; depends only on the exchange and the predicate's fields. Must be safe to
    // call from several threads at once on the same predicate: a large store is matched in
    // parallel ranges, so a predicate never caches, counts or logs from here.
    virtual bool match(const Exchange &exchange) const = 0;

    // Predicates that read nothing of an exchange but its request path say so, and answer from
    // the store's path texts alone: matching a whole store then never touches an exchange. The
    // answer equals match()'s; none when the path's text is not kept there (ask match()).
    virtual bool readsOnlyRequestPath() const { return false; }
    virtual std::optional<bool> matchPath(const PathTextIndex &, size_t) const { return std::nullopt; }
    // Likewise a predicate that reads nothing but the exchange's peer: its answer for a peer
    // text is match()'s for every exchange of that peer, so a store asks once per peer.
    virtual bool readsOnlyPeer() const { return false; }
    virtual bool matchPeer(const QString &) const { return false; }
};

using FilterPredicatePtr = std::shared_ptr<const FilterPredicate>;

// The path lists every creator uses.
namespace KnownPaths {
QStringList analytics();
QStringList settingAssignments();
QString milestones();
} // namespace KnownPaths

class AllFilterPredicate final : public FilterPredicate
{
public:
    explicit AllFilterPredicate(PredicateRegister registration = PredicateRegister::all());
    PredicateRegister registration() const override { return m_registration; }
    bool match(const Exchange &exchange) const override;

private:
    PredicateRegister m_registration;
};

class AnalyticsFilterPredicate final : public FilterPredicate
{
public:
    explicit AnalyticsFilterPredicate(PredicateRegister registration = PredicateRegister::analytics(),
                                      QStringList knownAnalyticsPaths = KnownPaths::analytics());
    PredicateRegister registration() const override { return m_registration; }
    // The request path equals one of the known paths (case-sensitive).
    bool match(const Exchange &exchange) const override;
    bool readsOnlyRequestPath() const override { return true; }
    std::optional<bool> matchPath(const PathTextIndex &paths, size_t position) const override;

private:
    PredicateRegister m_registration;
    QStringList m_knownAnalyticsPaths;
    std::vector<PathTextIndex::Needle> m_needles;
};

class SettingFilterPredicate final : public FilterPredicate
{
public:
    explicit SettingFilterPredicate(PredicateRegister registration = PredicateRegister::settings(),
                                    QStringList knownSettingAssignmentPaths = KnownPaths::settingAssignments());
    PredicateRegister registration() const override { return m_registration; }
    bool match(const Exchange &exchange) const override;
    bool readsOnlyRequestPath() const override { return true; }
    std::optional<bool> matchPath(const PathTextIndex &paths, size_t position) const override;

private:
    PredicateRegister m_registration;
    QStringList m_knownSettingAssignmentPaths;
    std::vector<PathTextIndex::Needle> m_needles;
};

class MilestoneFilterPredicate final : public FilterPredicate
{
public:
    explicit MilestoneFilterPredicate(PredicateRegister registration = PredicateRegister::milestones(),
                                      QString knownMilestonePath = KnownPaths::milestones());
    PredicateRegister registration() const override { return m_registration; }
    // The request path contains the known path anywhere (case-sensitive).
    bool match(const Exchange &exchange) const override;
    bool readsOnlyRequestPath() const override { return true; }
    std::optional<bool> matchPath(const PathTextIndex &paths, size_t position) const override;

private:
    PredicateRegister m_registration;
    QString m_knownMilestonePath;
    PathTextIndex::Needle m_needle;
};

// Everything that is none of the three above, judged with the fixed path lists. An exchange
// without request or URL is "other".
class OtherFilterPredicate final : public FilterPredicate
{
public:
    explicit OtherFilterPredicate(PredicateRegister registration = PredicateRegister::other());
    PredicateRegister registration() const override { return m_registration; }
    bool match(const Exchange &exchange) const override;
    bool readsOnlyRequestPath() const override { return true; }
    std::optional<bool> matchPath(const PathTextIndex &paths, size_t position) const override;

private:
    PredicateRegister m_registration;
};

// The text tests on a request path: case-sensitive containment by UTF-16 code units. A missing
// path (no request, no URL) fails both; with no text both pass; an empty text is found nowhere.
namespace PathText {
bool containing(const std::optional<QString> &path, const std::optional<QString> &text);
bool notContaining(const std::optional<QString> &path, const std::optional<QString> &text);
} // namespace PathText

// The timeline's text filter: the request path contains the text, or does not. Registered under
// the request path's key path. A store may answer it from its path texts alone (PathTextIndex),
// and, knowing the filter it replaces, test only the exchanges whose answer can change.
class PathTextFilterPredicate final : public FilterPredicate
{
public:
    enum class Mode { Containing, NotContaining };

    PathTextFilterPredicate(Mode mode, std::optional<QString> text);
    PredicateRegister registration() const override { return PredicateRegister::keypath(ExchangeKeyPath::RequestPath); }
    bool match(const Exchange &exchange) const override;
    bool readsOnlyRequestPath() const override { return true; }
    std::optional<bool> matchPath(const PathTextIndex &paths, size_t position) const override;

    Mode mode() const { return m_mode; }
    const std::optional<QString> &text() const { return m_text; }

    // How what this filter accepts relates to what an earlier one accepted: Narrower when it
    // accepts only exchanges the earlier one accepted (typing on: "ca" after "c"), Wider when it
    // accepts all of those and maybe more (deleting back), Unrelated otherwise.
    enum class Relation { Unrelated, Narrower, Wider };
    Relation relationTo(const PathTextFilterPredicate &earlier) const;

private:
    Mode m_mode;
    std::optional<QString> m_text;
    PathTextIndex::Needle m_needle; // of the text, when it has one
};

// Reads one value through a key path and hands it, with the stored value, to the creator's
// operator: operator(read value, stored value). Registered under the key of its own key path.
// The operator must be a pure function: it may run on several threads at once.
template<typename V>
class KeypathFilterPredicate final : public FilterPredicate
{
public:
    using Operator = std::function<bool(const V &, const V &)>;

    KeypathFilterPredicate(KeyPath<V> keyPath, V value, Operator op)
        : m_keyPath(keyPath), m_value(std::move(value)), m_operator(std::move(op))
    {
    }

    PredicateRegister registration() const override { return PredicateRegister::keypath(m_keyPath.id); }
    bool match(const Exchange &exchange) const override { return m_operator(m_keyPath.read(exchange), m_value); }

    // The peer's key path reads the peer and nothing else, and the operator is pure.
    bool readsOnlyPeer() const override
    {
        if constexpr (std::is_same_v<V, QString>)
            return m_keyPath.id == ExchangeKeyPath::Peer;
        else
            return false;
    }
    bool matchPeer([[maybe_unused]] const QString &peer) const override
    {
        if constexpr (std::is_same_v<V, QString>)
            return m_operator(peer, m_value);
        else
            return false;
    }

private:
    KeyPath<V> m_keyPath;
    V m_value;
    Operator m_operator;
};
