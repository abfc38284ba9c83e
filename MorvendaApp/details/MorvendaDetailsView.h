// The main window's right-hand column: the exchange details above the bottom pane (console or
// metrics), beside the side panel, in resizable splits. It follows the WindowManager and never
// writes it. The bottom panes, the side panels and the connect screen come from the main window
// as factories; a place without a factory stays empty. Main thread only; the repository and the
// window manager outlive it.
//
// A pane is made when it is shown at its place and destroyed when it leaves it, so switching the
// bottom pane or the side panel away and back gives a new pane (and new view models). Expanding
// the bottom pane removes the details, whose state starts afresh when they return.
#pragma once

#include "DetailsView.h"

#include "MorvendaApp/core/WindowManager.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <QWidget>

#include <optional>

class QSplitter;
class QVBoxLayout;

class MorvendaDetailsView : public QWidget
{
    Q_OBJECT

public:
    using PaneFactory = DetailsView::PaneFactory;

    // Height bounds of the bottom pane and width bounds of the side panel, in logical pixels.
    static constexpr int kBottomMinHeight = 150;
    static constexpr int kBottomIdealHeight = 300;
    static constexpr int kBottomMaxHeight = 400;
    static constexpr int kSideMinWidth = 300;
    static constexpr int kSideIdealWidth = 400;
    static constexpr int kSideMaxWidth = 500;

    MorvendaDetailsView(MessageRepository &repository, WindowManager &windowManager,
        PayloadInfoView::UrlOpener openUrl = {}, QWidget *parent = nullptr);

    const std::optional<QUuid> &selectedMessageID() const { return m_selectedMessageID; }
    // The main window's selection; connect the timeline's selection signal here.
    void setSelectedMessageID(const std::optional<QUuid> &messageID);

    void setConnectScreenFactory(PaneFactory factory);
    void setBottomPaneFactory(BottomView view, PaneFactory factory);
    void setSidePanelFactory(SideView view, PaneFactory factory);

    // Null while the bottom pane is expanded.
    DetailsView *detailsView() const { return m_details; }
    // The areas (always present, hidden while they show nothing) and the panes inside them.
    QWidget *bottomArea() const { return m_bottomArea; }
    QWidget *sideArea() const { return m_sideArea; }
    QWidget *bottomPane() const { return m_bottomPane; }
    QWidget *sidePanel() const { return m_sidePanel; }
    QSplitter *mainSplit() const { return m_mainSplit; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void showDetails();
    void showBottomPane(BottomView view);
    void showSidePanel(SideView view);
    void applyBottomBounds();
    void placeAtIdealExtent(QSplitter *split);

    MessageRepository &m_repository;
    WindowManager &m_windowManager;
    PayloadInfoView::UrlOpener m_openUrl;
    std::optional<QUuid> m_selectedMessageID;
    PaneFactory m_connectScreenFactory;
    QHash<BottomView, PaneFactory> m_bottomFactories;
    QHash<SideView, PaneFactory> m_sideFactories;

    QSplitter *m_outerSplit = nullptr;
    QSplitter *m_mainSplit = nullptr;
    QWidget *m_bottomArea = nullptr;
    QVBoxLayout *m_bottomLayout = nullptr;
    QWidget *m_sideArea = nullptr;
    QVBoxLayout *m_sideLayout = nullptr;
    QPointer<DetailsView> m_details;
    QPointer<QWidget> m_bottomPane;
    QPointer<QWidget> m_sidePanel;
    // What the areas show now, so an equal assignment keeps the pane.
    std::optional<BottomView> m_shownBottom;
    std::optional<SideView> m_shownSide;
    // Splits whose last area was shown before they had a size.
    QSet<QSplitter *> m_pendingIdeal;
};
