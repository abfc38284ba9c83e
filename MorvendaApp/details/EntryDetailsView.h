// The selected exchange: its request and chosen response in a split of two payload panes, with
// the details toolbar below; "No message selected" when the repository holds nothing under the
// ID. Made by DetailsView while an ID is selected; its state (filter, orientation, response
// choice, each pane's tab) lives as long as it does. Main thread only.
//
// A pane stays (keeping its tab) while it remains present in the same split; it is made anew
// when it comes back, when the orientation changes and when the exchange is found again.
#pragma once

#include "EntryDetailsViewModel.h"
#include "PayloadDetailsView.h"
#include "PayloadInfoView.h"

#include <QPointer>
#include <QSplitter>
#include <QWidget>

#include <utility>

class DetailsToolbar;
class MessageRepository;
class QLabel;
class QVBoxLayout;

class EntryDetailsView : public QWidget
{
    Q_OBJECT

public:
    EntryDetailsView(MessageRepository &repository, const QUuid &selectedMessageID,
        PayloadInfoView::UrlOpener openUrl = {}, QWidget *parent = nullptr);

    void setSelectedMessageID(const QUuid &messageID);

    EntryDetailsViewModel &viewModel() { return m_viewModel; }
    // The split and its panes while the exchange exists; null otherwise.
    QSplitter *split() const { return m_split; }
    PayloadDetailsView *requestPane() const { return m_requestPane; }
    PayloadDetailsView *responsePane() const { return m_responsePane; }
    DetailsToolbar *toolbar() const { return m_toolbar; }
    QLabel *noSelectionLabel() const { return m_noSelection; }

private:
    void buildLayout();
    void connectSignals();
    void refresh();
    Qt::Orientation splitOrientation() const;
    void rebuildSplit();
    void placeRequestPane();
    void placeResponsePane();

    EntryDetailsViewModel m_viewModel;
    PayloadInfoView::UrlOpener m_openUrl;
    QVBoxLayout *m_contentLayout = nullptr;
    QPointer<QSplitter> m_split;
    QPointer<PayloadDetailsView> m_requestPane;
    QPointer<PayloadDetailsView> m_responsePane;
    // What the panes show now, so an unrelated notice rebuilds nothing.
    quint64 m_requestRevision = 0;
    std::pair<quint64, int> m_responseShown;
    QLabel *m_noSelection = nullptr;
    DetailsToolbar *m_toolbar = nullptr;
};
