#include "EntryDetailsView.h"

#include "DetailsToolbar.h"
#include "PayloadDetailsView.h"

#include "MorvendaApp/core/L10n.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

EntryDetailsView::EntryDetailsView(MessageRepository &repository, const QUuid &selectedMessageID,
    PayloadInfoView::UrlOpener openUrl, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(repository)
    , m_openUrl(std::move(openUrl))
{
    m_viewModel.setSelectedMessageID(selectedMessageID);
    buildLayout();
    connectSignals();
    refresh();
}

void EntryDetailsView::buildLayout()
{
    m_noSelection = new QLabel(L10n::text("EntryDetails.noSelection"), this);
    m_noSelection->setTextFormat(Qt::PlainText);
    m_noSelection->setAlignment(Qt::AlignCenter);
    m_toolbar = new DetailsToolbar(m_viewModel, this);

    m_contentLayout = new QVBoxLayout;
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->addWidget(m_noSelection, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_contentLayout, 1);
    layout->addWidget(m_toolbar);
}

void EntryDetailsView::connectSignals()
{
    connect(&m_viewModel, &EntryDetailsViewModel::exchangeChanged, this, &EntryDetailsView::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::filterChanged, this, &EntryDetailsView::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::responseSelectionChanged, this, &EntryDetailsView::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::alignmentChanged, this, [this] {
        // The panes of the other split are new ones; an equal assignment keeps them.
        if (m_split && m_split->orientation() != splitOrientation())
            delete m_split;
        refresh();
    });
}

void EntryDetailsView::setSelectedMessageID(const QUuid &messageID)
{
    m_viewModel.setSelectedMessageID(messageID);
}

void EntryDetailsView::refresh()
{
    const bool exists = m_viewModel.exchange().has_value();
    m_noSelection->setVisible(!exists);
    m_toolbar->setVisible(exists);
    if (!exists) {
        // Found again later, the exchange gets new panes.
        delete m_split;
        return;
    }
    if (!m_split)
        rebuildSplit();
    placeRequestPane();
    placeResponsePane();
}

// A vertical alignment puts the panes side by side: a horizontal split.
Qt::Orientation EntryDetailsView::splitOrientation() const
{
    return m_viewModel.alignment() == EntryDetailsViewModel::Alignment::Vertical ? Qt::Horizontal : Qt::Vertical;
}

void EntryDetailsView::rebuildSplit()
{
    m_split = new QSplitter(splitOrientation(), this);
    m_split->setChildrenCollapsible(false);
    m_contentLayout->addWidget(m_split, 1);
    m_split->show();
}

void EntryDetailsView::placeRequestPane()
{
    const std::optional<Request> request = m_viewModel.shownRequest();
    if (!request) {
        delete m_requestPane;
        return;
    }
    const quint64 revision = m_viewModel.exchange()->revision();
    if (m_requestPane) {
        if (m_requestRevision != revision)
            m_requestPane->setDetails(std::make_shared<RequestDetails>(*request));
        m_requestRevision = revision;
        return;
    }
    m_requestRevision = revision;
    auto details = std::make_shared<RequestDetails>(*request);
    m_requestPane = new PayloadDetailsView(std::move(details), PayloadDetailsView::DetailType::Info, m_openUrl);
    m_split->insertWidget(0, m_requestPane);
    if (m_split->count() == 2)
        m_split->setSizes({1, 1});
}

void EntryDetailsView::placeResponsePane()
{
    const std::optional<Response> response = m_viewModel.shownResponse();
    if (!response) {
        delete m_responsePane;
        return;
    }
    // Shown as (exchange version, response index): either changing means another response.
    const std::pair<quint64, int> shown(m_viewModel.exchange()->revision(), m_viewModel.responseSelection());
    if (m_responsePane) {
        if (m_responseShown != shown)
            m_responsePane->setDetails(std::make_shared<ResponseDetails>(*response));
        m_responseShown = shown;
        return;
    }
    m_responseShown = shown;
    auto details = std::make_shared<ResponseDetails>(*response);
    m_responsePane = new PayloadDetailsView(std::move(details), PayloadDetailsView::DetailType::Info, m_openUrl);
    m_split->addWidget(m_responsePane);
    if (m_split->count() == 2)
        m_split->setSizes({1, 1});
}
