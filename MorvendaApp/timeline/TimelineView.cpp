#include "MorvendaApp/timeline/TimelineView.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/timeline/FilterView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/components/SecondaryLabel.h"
#include "MorvendaApp/timeline/TimelineFooterView.h"
#include "MorvendaApp/timeline/TimelineListView.h"
#include "MorvendaApp/timeline/TimelineSource.h"
#include "MorvendaApp/timeline/TimelineToolbar.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"

#include <QVBoxLayout>

namespace {

constexpr int kMinimumWidth = 150;
constexpr int kToolbarBottomPadding = 10;
constexpr int kPadding = 8;

} // namespace

TimelineView::TimelineView(MorvendaListener &listener, MessageRepository &repository, FileHolder &fileHolder,
                           Logger &logger, MessageSelection &selection, QWidget *parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_repository(repository)
    , m_fileHolder(fileHolder)
    , m_selection(selection)
    , m_viewModel(new TimelineViewModel(listener, repository, fileHolder, this))
    , m_toolbar(new TimelineToolbar(listener, repository, fileHolder, logger, selection, this))
{
    new TimelineSource(listener, fileHolder, repository, selection, this);
    buildLayout();
    connectSignals();
    refreshMessage();
    refreshFooter();
}

void TimelineView::buildLayout()
{
    setMinimumWidth(kMinimumWidth);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, 0, kPadding, kPadding);
    column->addWidget(m_toolbar);
    column->addSpacing(kToolbarBottomPadding);

    m_list = new TimelineListView(*m_viewModel, m_selection, this);
    column->addWidget(m_list, 1);

    m_message = new SecondaryLabel(12, this);
    m_message->setObjectName(QStringLiteral("timelineMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    column->addWidget(m_message);

    m_footer = new TimelineFooterView(this);
    column->addWidget(m_footer);

    m_filterView = new FilterView(m_viewModel->filterViewModel(), this);
    column->addWidget(m_filterView);
}

void TimelineView::connectSignals()
{
    connect(&m_listener, &MorvendaListener::timelineRecordingEnabledChanged, this, &TimelineView::refreshMessage);
    connect(&m_listener, &MorvendaListener::connectionsChanged, this, &TimelineView::refreshMessage);
    connect(&m_fileHolder, &FileHolder::filesChanged, this, &TimelineView::refreshMessage);

    // Stored exchanges that are filtered out still count, so every handled exchange may change
    // the footer; it is redrawn once per event-loop turn.
    connect(m_viewModel, &TimelineViewModel::rowsUpdated, this, [this] { m_footerCall.schedule(); });
    connect(&m_repository, &MessageRepository::latestExchangeChanged, this, [this] { m_footerCall.schedule(); });
    connect(&m_repository, &MessageRepository::timelineReset, this, [this] { m_footerCall.schedule(); });
    connect(&m_selection, &MessageSelection::messageIDChanged, this, [this] { m_footerCall.schedule(); });
}

void TimelineView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Set up once at construction; showing again only re-reads what is on screen.
    refreshMessage();
    refreshFooter();
}

std::optional<int> TimelineView::selectedIndex() const
{
    const auto &id = m_selection.messageID();
    return id ? m_viewModel->rowOf(*id) : std::nullopt;
}

void TimelineView::refreshMessage()
{
    QString text;
    if (!m_listener.timelineRecordingEnabled())
        text = L10n::text("Timeline.recordingDisabled");
    else if (m_fileHolder.files().isEmpty() && m_listener.connections().isEmpty())
        text = L10n::text("Timeline.nothingToDisplay");
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void TimelineView::refreshFooter()
{
    m_footerCall.cancel();
    const auto index = selectedIndex();
    m_footer->setCounts(m_repository.exchangeCount(), m_repository.timelineCount(),
                        index ? std::optional<qsizetype>(*index) : std::nullopt);
}
