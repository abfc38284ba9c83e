#include "EntryDetailsViewModel.h"

#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/core/L10n.h"

EntryDetailsViewModel::EntryDetailsViewModel(MessageRepository &repository, QObject *parent)
    : QObject(parent)
    , m_repository(repository)
{
    connect(&m_repository, &MessageRepository::latestExchangeChanged, this, [this](const Exchange &exchange) {
        if (m_selectedMessageID && exchange.messageID() == *m_selectedMessageID)
            lookUp();
    });
    connect(&m_repository, &MessageRepository::timelineReset, this, &EntryDetailsViewModel::lookUp);
}

void EntryDetailsViewModel::setSelectedMessageID(const std::optional<QUuid> &messageID)
{
    const bool another = messageID != m_selectedMessageID;
    m_selectedMessageID = messageID;
    if (another && m_responseSelection != 0)
        setResponseSelection(0);
    emit selectedMessageIDChanged(m_selectedMessageID);
    lookUp();
}

void EntryDetailsViewModel::setFilter(Filter filter)
{
    m_filter = filter;
    emit filterChanged(m_filter);
}

void EntryDetailsViewModel::setAlignment(Alignment alignment)
{
    m_alignment = alignment;
    emit alignmentChanged(m_alignment);
}

void EntryDetailsViewModel::toggleAlignment()
{
    setAlignment(m_alignment == Alignment::Vertical ? Alignment::Horizontal : Alignment::Vertical);
}

void EntryDetailsViewModel::setResponseSelection(int index)
{
    m_responseSelection = index;
    emit responseSelectionChanged(m_responseSelection);
}

std::optional<Request> EntryDetailsViewModel::shownRequest() const
{
    if (!m_exchange || m_filter == Filter::Response)
        return std::nullopt;
    return m_exchange->request();
}

std::optional<Response> EntryDetailsViewModel::shownResponse() const
{
    if (!m_exchange || m_filter == Filter::Request)
        return std::nullopt;
    if (m_responseSelection < 0 || m_responseSelection >= responseCount())
        return std::nullopt;
    return m_exchange->responses().at(m_responseSelection);
}

int EntryDetailsViewModel::responseCount() const
{
    return m_exchange ? int(m_exchange->responses().size()) : 0;
}

std::optional<QString> EntryDetailsViewModel::durationText() const
{
    const std::optional<double> duration = m_exchange ? m_exchange->duration() : std::nullopt;
    if (!duration)
        return std::nullopt;
    // Fixed point with four decimals and a full stop whatever the user's locale.
    return L10n::tr("EntryDetails.Duration", QString::number(*duration, 'f', 4));
}

void EntryDetailsViewModel::lookUp()
{
    std::optional<Exchange> found;
    if (m_selectedMessageID)
        found = m_repository.exchange(*m_selectedMessageID);
    const bool same = found.has_value() == m_exchange.has_value()
        && (!found || (found->messageID() == m_exchange->messageID() && found->revision() == m_exchange->revision()));
    if (same)
        return;
    m_exchange = std::move(found);
    emit exchangeChanged();
}
