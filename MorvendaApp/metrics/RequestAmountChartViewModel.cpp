#include "RequestAmountChartViewModel.h"

#include "MorvendaApp/session/MessageRepository.h"

#include <QDateTime>

RequestAmountChartViewModel::RequestAmountChartViewModel(QObject *parent)
    : QObject(parent)
{
}

void RequestAmountChartViewModel::setup(MessageRepository &repository)
{
    if (m_repository != &repository) {
        disconnect(m_subscription);
        m_repository = &repository;
        m_subscription = connect(&repository, &MessageRepository::latestExchangeChanged, this,
            &RequestAmountChartViewModel::handle);
    }
    if (const std::optional<Exchange> &latest = repository.latestExchange())
        handle(*latest);
}

std::optional<RequestAmountChartItem> RequestAmountChartViewModel::makeItem(const std::optional<Exchange> &exchange) const
{
    if (!exchange)
        return std::nullopt;
    const std::optional<Request> &request = exchange->request();
    if (!request || m_counted.contains(request->id()))
        return std::nullopt;
    const double time = request->timestamp().value_or(QDateTime::currentMSecsSinceEpoch() / 1000.0);
    return RequestAmountChartItem{request->id(), 1, time,
        requestAmountSeriesNames()[std::size_t(requestAmountSeriesIndex(request->method()))]};
}

void RequestAmountChartViewModel::appendItem(const RequestAmountChartItem &item)
{
    if (m_counted.contains(item.id))
        return;
    m_counted.insert(item.id);
    m_graphData.append(item);
    const auto &names = requestAmountSeriesNames();
    const auto series = std::find(names.begin(), names.end(), item.series);
    m_buckets.add(item.time, int(series - names.begin()));
    emit itemAppended(item);
}

void RequestAmountChartViewModel::clear()
{
    m_graphData.clear();
    m_counted.clear();
    m_buckets.clear();
    emit graphDataCleared();
}

void RequestAmountChartViewModel::handle(const Exchange &exchange)
{
    if (std::optional<RequestAmountChartItem> item = makeItem(exchange))
        appendItem(*item);
}
