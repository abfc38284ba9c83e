// The request-count chart's state: every request the repository publishes as its latest exchange
// becomes one counted item, once per message ID, in the order counted, until the chart's trash
// empties the list. Counts requests the timeline hides too: it follows the latest exchange, not
// the filtered timeline. One per chart instance, owned by it; main thread only.
#pragma once

#include "RequestAmountBuckets.h"
#include "RequestAmountChartItem.h"

#include "MorvendaApp/session/Exchange.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <optional>

class MessageRepository;

class RequestAmountChartViewModel : public QObject
{
    Q_OBJECT

public:
    explicit RequestAmountChartViewModel(QObject *parent = nullptr);

    // Follows the repository's latest exchange and counts the one it holds now. Called each time
    // the chart is shown: it subscribes only once per repository, so calling it again just reads
    // the current value again.
    void setup(MessageRepository &repository);

    // The item for an exchange's request; none without an exchange or request, or when that
    // request is counted already.
    std::optional<RequestAmountChartItem> makeItem(const std::optional<Exchange> &exchange) const;
    void appendItem(const RequestAmountChartItem &item);
    // The trash: forgets every counted request. The subscription stays, so counting goes on.
    void clear();

    const QList<RequestAmountChartItem> &graphData() const { return m_graphData; }
    const RequestAmountBuckets &buckets() const { return m_buckets; }

signals:
    // The list only ever grows by one item or empties, so those two changes are all it publishes.
    void itemAppended(const RequestAmountChartItem &item);
    void graphDataCleared();

private:
    void handle(const Exchange &exchange);

    QList<RequestAmountChartItem> m_graphData;
    // The message IDs in m_graphData, so the duplicate test does not scan the list.
    QSet<QUuid> m_counted;
    RequestAmountBuckets m_buckets;
    QPointer<MessageRepository> m_repository;
    QMetaObject::Connection m_subscription;
};
