// The upper pane of the details column: the exchange details while an ID is selected, else the
// connect screen, which the main window supplies as a factory (an empty place until it does).
// Going from no selection to an ID makes new exchange details with their default state; moving
// between IDs keeps them. Owned by MorvendaDetailsView; main thread only.
#pragma once

#include "EntryDetailsView.h"
#include "PayloadInfoView.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class MessageRepository;
class QVBoxLayout;

class DetailsView : public QWidget
{
    Q_OBJECT

public:
    // Makes a new pane each time its place is shown; the caller takes ownership.
    using PaneFactory = std::function<QWidget *()>;

    explicit DetailsView(MessageRepository &repository, PayloadInfoView::UrlOpener openUrl = {},
        QWidget *parent = nullptr);

    const std::optional<QUuid> &selectedMessageID() const { return m_selectedMessageID; }
    void setSelectedMessageID(const std::optional<QUuid> &messageID);

    // The connect screen shown while nothing is selected (its lists start unselected each time).
    void setConnectScreenFactory(PaneFactory factory);

    EntryDetailsView *entryDetails() const { return m_entry; }

private:
    void showSelection();

    MessageRepository &m_repository;
    PayloadInfoView::UrlOpener m_openUrl;
    PaneFactory m_connectScreenFactory;
    std::optional<QUuid> m_selectedMessageID;
    QVBoxLayout *m_layout = nullptr;
    QPointer<EntryDetailsView> m_entry;
    QPointer<QWidget> m_connectScreen;
};
