// Random sequences of repository operations run against MessageRepository and against a literal
// reference model written straight from the repository's rules (linear scans, full equality),
// which must agree on every observable result.
#include "MorvendaApp/session/MessageRepository.h"
#include "SessionFixtures.h"
#include "TimelineMirror.h"

#include <QRandomGenerator>
#include <QTest>

using namespace fixtures;

namespace {

// The row of an exchange in a timeline, found by the plainest scan.
std::optional<qsizetype> rowOf(const QList<Exchange> &timeline, const QUuid &messageID)
{
    for (qsizetype row = 0; row < timeline.size(); ++row) {
        if (timeline.at(row).messageID() == messageID)
            return row;
    }
    return std::nullopt;
}

// An ordered map with linear lookup, as plain as it gets.
template<typename K, typename V>
struct OrderedMap
{
    QList<std::pair<K, V>> entries;
    V *find(const K &key)
    {
        for (auto &entry : entries)
            if (entry.first == key)
                return &entry.second;
        return nullptr;
    }
    V &operator[](const K &key)
    {
        if (V *existing = find(key))
            return *existing;
        entries.append({key, V()});
        return entries.last().second;
    }
    void remove(const K &key)
    {
        entries.removeIf([&](const auto &entry) { return entry.first == key; });
    }
};

class ReferenceRepository
{
public:
    QList<Exchange> timeline;
    QList<Exchange> latest;
    OrderedMap<PredicateRegister, FilterPredicatePtr> predicates;
    OrderedMap<PredicateRegister, QList<QUuid>> results;
    OrderedMap<QUuid, Exchange> exchanges;
    OrderedMap<QUuid, QList<QUuid>> batchIDs;

    void addRequest(const Request &request, const QString &peer)
    {
        const Exchange exchange = Exchange::fromRequest(request, peer);
        exchanges[exchange.messageID()] = exchange;
        evaluate(exchange);
    }

    void addResponse(const Response &response, const QString &peer)
    {
        const QUuid m = response.messageID();
        QList<QUuid> &members = batchIDs[response.batchID()];
        QList<QUuid> earlier; // a new member raises the count of these
        if (!members.contains(m)) {
            earlier = members;
            members.append(m);
        }
        const qint64 count = members.size();
        for (const QUuid &member : earlier) {
            Exchange *old = exchanges.find(member);
            if (!old)
                continue;
            Exchange updated = *old;
            updated.setBatchCount(count);
            const qsizetype at = timeline.indexOf(*old);
            if (at >= 0) {
                const qsizetype present = timeline.indexOf(updated);
                if (present >= 0 && present != at)
                    timeline.removeAt(at);
                else
                    timeline[at] = updated;
            }
            *old = updated;
        }
        Exchange exchange;
        if (Exchange *found = exchanges.find(m)) {
            exchange = *found;
            exchange.setBatchCount(count);
            if (!exchange.batchID())
                exchange.setBatchID(response.batchID());
            exchange.appendResponse(response);
        } else {
            exchange = Exchange::fromResponse(response, peer);
            exchange.setBatchCount(count);
        }
        exchanges[m] = exchange;
        evaluate(exchange);
    }

    void evaluate(const Exchange &exchange)
    {
        bool passes = true;
        for (const auto &[key, predicate] : predicates.entries) {
            if (predicate->match(exchange)) {
                QList<QUuid> *set = results.find(key);
                if (set && !set->contains(exchange.messageID()))
                    set->append(exchange.messageID());
            } else {
                passes = false;
            }
        }
        if (passes) {
            if (const auto at = rowOf(timeline, exchange.messageID()))
                timeline[*at] = exchange;
            else
                timeline.append(exchange);
        }
        latest.append(exchange);
    }

    void registerPredicate(const FilterPredicatePtr &predicate)
    {
        predicates[predicate->registration()] = predicate;
        updatePredicateResults(predicate->registration());
    }

    void updatePredicateResults(const PredicateRegister &key)
    {
        FilterPredicatePtr *predicate = predicates.find(key);
        if (!predicate)
            return;
        QList<QUuid> set;
        for (const auto &[messageID, exchange] : exchanges.entries)
            if ((*predicate)->match(exchange))
                set.append(messageID);
        results[key] = set;
        applyFilter();
    }

    void removePredicate(const PredicateRegister &key)
    {
        predicates.remove(key);
        results.remove(key);
        applyFilter();
    }

    void applyFilter()
    {
        QList<QUuid> kept;
        for (const auto &entry : exchanges.entries)
            kept.append(entry.first);
        for (const auto &[key, set] : results.entries)
            kept.removeIf([&](const QUuid &messageID) { return !set.contains(messageID); });
        timeline.clear();
        for (const QUuid &messageID : kept)
            timeline.append(*exchanges.find(messageID));
    }

    void clear()
    {
        exchanges.entries.clear();
        batchIDs.entries.clear();
        timeline.clear();
        for (auto &entry : results.entries)
            entry.second.clear();
    }
};

// Exchanges whose second response makes them pass: moves rows between versions.
class AnsweredPredicate final : public FilterPredicate
{
public:
    PredicateRegister registration() const override { return PredicateRegister::all(); }
    bool match(const Exchange &exchange) const override { return !exchange.responses().isEmpty(); }
};

FilterPredicatePtr predicateNumber(int n)
{
    switch (n) {
    case 0: return std::make_shared<AnalyticsFilterPredicate>();
    case 1: return std::make_shared<OtherFilterPredicate>();
    case 2: return std::make_shared<KeypathFilterPredicate<QString>>(KeyPaths::peer, QStringLiteral("A"),
                [](const QString &a, const QString &b) { return a == b; });
    case 3: return std::make_shared<KeypathFilterPredicate<std::optional<Method>>>(KeyPaths::requestMethod, Method::Get,
                [](const std::optional<Method> &a, const std::optional<Method> &b) { return a == b; });
    case 5: return std::make_shared<SettingFilterPredicate>();
    case 6: return std::make_shared<MilestoneFilterPredicate>();
    default: return std::make_shared<AnsweredPredicate>();
    }
}

class Generator
{
public:
    explicit Generator(quint32 seed) : m_random(seed) {}
    int below(int n) { return int(m_random.bounded(n)); }

    Request request()
    {
        // Paths in one byte per character and beyond (U+00FF, U+0100, a surrogate pair), in
        // both cases, escaped and not.
        static const QStringList urls{QStringLiteral("https://h/api/event"), QStringLiteral("https://h/api/events"),
                                      QStringLiteral("https://h/api/items"),
                                      QStringLiteral("https://h/api/user/milestones/1"),
                                      QStringLiteral("https://h/api/setting/assign?x=1"),
                                      QStringLiteral("https://h/api/Caf%C3%A9/cart"),
                                      QStringLiteral("https://h/\u00ffCart/\u0100\u00e9t\u00e9"),
                                      QStringLiteral("https://h/api/\U0001F600/CART?cart=1")};
        return fixtures::request(id(uint(1 + below(6))), urls[below(urls.size())],
                                 below(2) ? std::optional<QString>(QStringLiteral("\"event_key\": \"e\",")) : std::nullopt,
                                 std::nullopt, below(3) ? Method::Get : Method::Post);
    }

    Response response()
    {
        static const QList<std::optional<qint64>> statuses{200, 200, 500, std::nullopt};
        // Mostly a few shared batches; now and then one of many, so exchanges end up in several
        // batches that grow by turns.
        const int batches = below(4) == 0 ? 12 : 3;
        return fixtures::response(id(uint(1 + below(6))), id(uint(100 + below(batches))), statuses[below(statuses.size())],
                                  below(3) ? Response::Source::Network : Response::Source::Cache);
    }

    QString peer() { return below(2) ? QStringLiteral("A") : QStringLiteral("B"); }

    // The filter text after one more keystroke: a character typed or the last one deleted (half
    // of a surrogate pair included), or now and then a different text pasted.
    QString typed(const QString &text)
    {
        static const QStringList keys{QStringLiteral("a"), QStringLiteral("C"), QStringLiteral("c"), QStringLiteral("t"),
                                      QStringLiteral("/"), QStringLiteral("\u00e9"), QStringLiteral("\u00ff"),
                                      QStringLiteral("\u0100"), QStringLiteral("\U0001F600")};
        const int what = below(10);
        if (what < 5)
            return text + keys[below(keys.size())];
        if (what < 9)
            return text.chopped(std::min<qsizetype>(text.size(), 1));
        static const QStringList pasted{QStringLiteral("art"), QStringLiteral("api/"), QStringLiteral("f\u00e9/"),
                                        QStringLiteral("\U0001F600/C")};
        return pasted[below(pasted.size())];
    }

private:
    QRandomGenerator m_random;
};

QList<QUuid> messageIDs(const QList<Exchange> &exchanges)
{
    QList<QUuid> result;
    for (const Exchange &exchange : exchanges)
        result.append(exchange.messageID());
    return result;
}

// Every observable result of the repository against the reference's; why says where they part.
bool agree(const MessageRepository &real, const ReferenceRepository &reference, const QList<Exchange> &realLatest,
           QString *why)
{
    QList<Exchange> referenceExchanges;
    for (const auto &entry : reference.exchanges.entries)
        referenceExchanges.append(entry.second);
    if (real.exchanges() != referenceExchanges)
        return *why = QStringLiteral("exchanges differ"), false;
    if (real.currentTimeline() != reference.timeline)
        return *why = QStringLiteral("timeline differs"), false;
    for (const Exchange &exchange : referenceExchanges) {
        if (real.timelineRow(exchange.messageID()) != rowOf(reference.timeline, exchange.messageID()))
            return *why = QStringLiteral("row lookup of %1 differs").arg(exchange.messageID().data1), false;
    }
    if (realLatest != reference.latest)
        return *why = QStringLiteral("latest exchange sequence differs"), false;
    for (const auto &[key, set] : reference.results.entries) {
        if (real.predicateResults(key) != set)
            return *why = QStringLiteral("result set of kind %1 differs").arg(int(key.kind())), false;
    }
    if (real.predicateKeys().size() != reference.results.entries.size())
        return *why = QStringLiteral("registered keys differ"), false;
    return true;
}

} // namespace

class TestRepositoryDifferential : public QObject
{
    Q_OBJECT

private slots:
    void randomSequencesAgreeWithTheReferenceModel();
    void largeStoresAgreeWithAPlainScan();
};

void TestRepositoryDifferential::randomSequencesAgreeWithTheReferenceModel()
{
    const int sequences = qEnvironmentVariableIntValue("MORVENDA_DIFFERENTIAL_SEQUENCES") > 0 ? qEnvironmentVariableIntValue("MORVENDA_DIFFERENTIAL_SEQUENCES") : 3000;
    for (int seed = 1; seed <= sequences; ++seed) {
        Generator random{quint32(seed)};
        MessageRepository real;
        ReferenceRepository reference;
        // A view that knows the timeline only from what the repository publishes.
        const TimelineMirror view(real);
        QList<Exchange> realLatest;
        connect(&real, &MessageRepository::latestExchangeChanged, this,
                [&](const Exchange &exchange) {
                    // The signal shares the stored version; what it showed then is what counts.
                    Exchange shown = exchange;
                    shown.setBatchCount(exchange.batchCount());
                    realLatest.append(shown);
                });
        QStringList trail;
        const auto onBoth = [&](const auto &operation) {
            operation(real);
            operation(reference);
        };
        const auto addRequest = [&](const QString &peer, const QString &note) {
            const Request request = random.request();
            trail << note + QStringLiteral("request %1 %2").arg(request.messageID().data1).arg(request.path());
            onBoth([&](auto &repository) { repository.addRequest(request, peer); });
        };
        const auto addResponse = [&](const QString &peer, const QString &note) {
            const Response response = random.response();
            trail << note + QStringLiteral("response %1 batch %2").arg(response.messageID().data1).arg(response.batchID().data1);
            onBoth([&](auto &repository) { repository.addResponse(response, peer); });
        };
        QString filterText;
        bool containing = true;
        for (int step = 0; step < 40; ++step) {
            const int op = random.below(100);
            if (op < 35) {
                addRequest(random.peer(), QString());
            } else if (op < 75) {
                addResponse(random.peer(), QString());
            } else if (op < 79) {
                // The filter bar: a keystroke replaces the text filter, an emptied field drops it.
                filterText = random.typed(filterText);
                if (random.below(8) == 0)
                    containing = !containing;
                trail << QStringLiteral("text %1 \"%2\"").arg(containing ? u"in" : u"out", filterText);
                if (filterText.isEmpty()) {
                    onBoth([](auto &repository) { repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::RequestPath)); });
                } else {
                    const auto predicate = std::make_shared<PathTextFilterPredicate>(
                        containing ? PathTextFilterPredicate::Mode::Containing : PathTextFilterPredicate::Mode::NotContaining,
                        filterText);
                    onBoth([&](auto &repository) { repository.registerPredicate(predicate); });
                }
            } else if (op < 83) {
                const FilterPredicatePtr predicate = predicateNumber(random.below(7));
                trail << QStringLiteral("register kind %1").arg(int(predicate->registration().kind()));
                onBoth([&](auto &repository) { repository.registerPredicate(predicate); });
            } else if (op < 87) {
                const PredicateRegister key = predicateNumber(random.below(7))->registration();
                trail << QStringLiteral("remove kind %1").arg(int(key.kind()));
                onBoth([&](auto &repository) { repository.removePredicate(key); });
            } else if (op < 91) {
                trail << QStringLiteral("apply");
                onBoth([](auto &repository) { repository.applyFilter(); });
            } else if (op < 94) {
                trail << QStringLiteral("clear");
                onBoth([](auto &repository) { repository.clear(); });
            } else {
                trail << QStringLiteral("file load");
                MessageRepository::BatchScope batch(real);
                for (int i = random.below(6); i > 0; --i) {
                    if (random.below(2))
                        addRequest(QStringLiteral("file:///s.json"), QStringLiteral(" file "));
                    else
                        addResponse(QStringLiteral("file:///s.json"), QStringLiteral(" file "));
                }
            }
            QString why;
            if (view.rows() != real.currentTimeline())
                why = QStringLiteral("a view that follows the signals shows other rows");
            if (!why.isEmpty() || !agree(real, reference, realLatest, &why)) {
                QFAIL(qPrintable(QStringLiteral("seed %1: %2 after:\n  %3").arg(seed).arg(why, trail.join(QStringLiteral("\n  ")))));
            }
        }
    }
}

// Large enough to be matched in parallel ranges, with requests re-sent under other paths between
// keystrokes and one path too long to index (matched on its exchange instead): after each
// keystroke the timeline is exactly the stored exchanges whose path passes a plain
// QString::contains. A predicate that reads whole exchanges is matched in parallel ranges
// too, and its results come out in arrival order as well.
void TestRepositoryDifferential::largeStoresAgreeWithAPlainScan()
{
    const QStringList segments{QStringLiteral("cart"), QStringLiteral("Cart"), QStringLiteral("caf\u00e9"),
                               QStringLiteral("\u0100rt"), QStringLiteral("api"), QStringLiteral("\U0001F600c")};
    Generator random{99};
    const auto url = [&]() -> QString {
        QString path;
        for (int n = 1 + random.below(3); n > 0; --n)
            path += QLatin1Char('/') + segments[random.below(segments.size())];
        return QStringLiteral("https://h") + path;
    };
    constexpr int count = 70'000;
    const auto peerOf = [](int n) { return n % 3 == 0 ? QStringLiteral("A") : QStringLiteral("B"); };
    MessageRepository real;
    std::vector<Request> stored;
    for (int n = 0; n < count; ++n) {
        stored.push_back(fixtures::request(id(uint(n + 1)), random.below(50) ? url() : QString()));
        real.addRequest(stored.back(), peerOf(n));
    }
    stored[1] = fixtures::request(id(2), QStringLiteral("https://h/") + QString(1 << 22, u'x') + QStringLiteral("/Cart/caf\u00e9"));
    real.addRequest(stored[1], peerOf(1));
    QString text;
    bool containing = true;
    for (int keystroke = 0; keystroke < 60; ++keystroke) {
        for (int n = random.below(3); n > 0; --n) {
            const int at = random.below(count);
            stored[size_t(at)] = fixtures::request(id(uint(at + 1)), url());
            real.addRequest(stored[size_t(at)], peerOf(at));
        }
        text = random.typed(text);
        if (random.below(10) == 0)
            containing = !containing;
        if (text.isEmpty()) {
            real.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::RequestPath));
            continue;
        }
        real.registerPredicate(std::make_shared<PathTextFilterPredicate>(
            containing ? PathTextFilterPredicate::Mode::Containing : PathTextFilterPredicate::Mode::NotContaining, text));
        QList<QUuid> expected;
        for (const Request &request : stored) {
            if (request.url() && request.url()->path().contains(text) == containing)
                expected.append(request.messageID());
        }
        QVERIFY2(messageIDs(real.currentTimeline()) == expected,
                 qPrintable(QStringLiteral("%1 \"%2\"").arg(containing ? u"in" : u"out", text)));
    }

    real.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::RequestPath));
    real.registerPredicate(predicateNumber(2));  // the peer is "A"
    QList<QUuid> fromA;
    for (int n = 0; n < count; n += 3)
        fromA.append(id(uint(n + 1)));
    QVERIFY(real.predicateResults(PredicateRegister::keypath(ExchangeKeyPath::Peer)) == fromA);
    QVERIFY(messageIDs(real.currentTimeline()) == fromA);
}

QTEST_GUILESS_MAIN(TestRepositoryDifferential)
#include "tst_repository_differential.moc"
