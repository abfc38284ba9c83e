#include "DetailsView.h"

#include "EntryDetailsView.h"

#include <QVBoxLayout>

DetailsView::DetailsView(MessageRepository &repository, PayloadInfoView::UrlOpener openUrl, QWidget *parent)
    : QWidget(parent)
    , m_repository(repository)
    , m_openUrl(std::move(openUrl))
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    showSelection();
}

void DetailsView::setSelectedMessageID(const std::optional<QUuid> &messageID)
{
    m_selectedMessageID = messageID;
    showSelection();
}

void DetailsView::setConnectScreenFactory(PaneFactory factory)
{
    m_connectScreenFactory = std::move(factory);
    delete m_connectScreen;
    showSelection();
}

void DetailsView::showSelection()
{
    if (m_selectedMessageID) {
        delete m_connectScreen;
        if (m_entry) {
            m_entry->setSelectedMessageID(*m_selectedMessageID);
        } else {
            m_entry = new EntryDetailsView(m_repository, *m_selectedMessageID, m_openUrl, this);
            m_layout->addWidget(m_entry);
            m_entry->show();
        }
        return;
    }
    delete m_entry;
    if (!m_connectScreen && m_connectScreenFactory) {
        m_connectScreen = m_connectScreenFactory();
        if (m_connectScreen) {
            m_layout->addWidget(m_connectScreen);
            m_connectScreen->show();
        }
    }
}
