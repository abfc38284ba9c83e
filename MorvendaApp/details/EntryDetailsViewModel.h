// The state of the exchange details: the selected message ID, which panes are shown, the split's
// orientation and the chosen response, and the selected exchange as the repository holds it now.
// Made by EntryDetailsView, which lives as long as the details show an ID; the repository
// outlives it. Main thread only.
//
// The exchange is looked up again only when the repository reports that the selected message
// changed (a request or response stored under it) or that the timeline was rebuilt or cleared;
// exchangeChanged is emitted only when the lookup finds another version (revision) or none.
#pragma once

#include "DetailsFilterOptions.h"

#include "MorvendaApp/session/Exchange.h"

#include <QObject>
#include <QUuid>

#include <optional>

class MessageRepository;

class EntryDetailsViewModel : public QObject
{
    Q_OBJECT

public:
    using Filter = DetailsFilterOptions::Filter;
    using Alignment = DetailsFilterOptions::Alignment;

    explicit EntryDetailsViewModel(MessageRepository &repository, QObject *parent = nullptr);

    const std::optional<QUuid> &selectedMessageID() const { return m_selectedMessageID; }
    // Another ID starts again at the first response, so a response pane hidden by an index the
    // new exchange does not reach never stays hidden.
    void setSelectedMessageID(const std::optional<QUuid> &messageID);

    Filter filter() const { return m_filter; }
    void setFilter(Filter filter);
    Alignment alignment() const { return m_alignment; }
    void setAlignment(Alignment alignment);
    void toggleAlignment();
    // Zero-based index into the exchange's responses; any value is accepted, one out of range
    // shows no response pane.
    int responseSelection() const { return m_responseSelection; }
    void setResponseSelection(int index);

    // The selected exchange; none without an ID or when the repository holds nothing under it.
    const std::optional<Exchange> &exchange() const { return m_exchange; }

    // What the panes show: the request while the filter includes it and the exchange has one,
    // the chosen response while the filter includes it and the index is in range.
    std::optional<Request> shownRequest() const;
    std::optional<Response> shownResponse() const;
    int responseCount() const;
    // The response picker is offered from the second response on.
    bool showsResponsePicker() const { return responseCount() > 1; }
    // "Duration: 0.2500 seconds"; none when the exchange has no duration.
    std::optional<QString> durationText() const;

signals:
    void selectedMessageIDChanged(const std::optional<QUuid> &messageID);
    void filterChanged(DetailsFilterOptions::Filter filter);
    void alignmentChanged(DetailsFilterOptions::Alignment alignment);
    void responseSelectionChanged(int index);
    void exchangeChanged();

private:
    void lookUp();

    MessageRepository &m_repository;
    std::optional<QUuid> m_selectedMessageID;
    Filter m_filter = Filter::All;
    Alignment m_alignment = Alignment::Horizontal;
    int m_responseSelection = 0;
    std::optional<Exchange> m_exchange;
};
