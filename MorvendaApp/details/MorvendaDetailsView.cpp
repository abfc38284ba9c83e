#include "MorvendaDetailsView.h"

#include <QEvent>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

QVBoxLayout *makeAreaLayout(QWidget *area)
{
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

int extent(const QSplitter *split)
{
    return split->orientation() == Qt::Vertical ? split->height() : split->width();
}

// Gives the last widget of the split its ideal extent and the first the rest. False while the
// split is hidden (its size is not the one it will be shown at).
bool giveIdealExtent(QSplitter *split, int ideal)
{
    const int total = extent(split);
    QList<int> sizes = split->sizes();
    if (!split->isVisible() || total <= 0 || sizes.size() < 2)
        return false;
    sizes.last() = ideal;
    sizes.first() = std::max(0, total - ideal - split->handleWidth());
    split->setSizes(sizes);
    return true;
}

} // namespace

MorvendaDetailsView::MorvendaDetailsView(MessageRepository &repository, WindowManager &windowManager,
    PayloadInfoView::UrlOpener openUrl, QWidget *parent)
    : QWidget(parent)
    , m_repository(repository)
    , m_windowManager(windowManager)
    , m_openUrl(std::move(openUrl))
{
    buildLayout();
    connectSignals();
    showDetails();
    showBottomPane(m_windowManager.bottomView());
    showSidePanel(m_windowManager.sideView());
}

void MorvendaDetailsView::buildLayout()
{
    m_outerSplit = new QSplitter(Qt::Horizontal, this);
    m_outerSplit->setChildrenCollapsible(false);
    m_mainSplit = new QSplitter(Qt::Vertical, m_outerSplit);
    m_mainSplit->setChildrenCollapsible(false);

    m_bottomArea = new QWidget(m_mainSplit);
    m_bottomLayout = makeAreaLayout(m_bottomArea);
    m_bottomArea->setMinimumHeight(kBottomMinHeight);
    m_bottomArea->hide();
    m_mainSplit->addWidget(m_bottomArea);

    m_sideArea = new QWidget(m_outerSplit);
    m_sideLayout = makeAreaLayout(m_sideArea);
    m_sideArea->setMinimumWidth(kSideMinWidth);
    m_sideArea->setMaximumWidth(kSideMaxWidth);
    m_sideArea->hide();
    m_outerSplit->addWidget(m_mainSplit);
    m_outerSplit->installEventFilter(this);
    m_mainSplit->installEventFilter(this);
    m_outerSplit->addWidget(m_sideArea);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outerSplit);
}

void MorvendaDetailsView::connectSignals()
{
    connect(&m_windowManager, &WindowManager::expandBottomViewChanged, this, [this] {
        showDetails();
        applyBottomBounds();
    });
    connect(&m_windowManager, &WindowManager::bottomViewChanged, this, [this](BottomView view) {
        if (m_shownBottom != view)
            showBottomPane(view);
    });
    connect(&m_windowManager, &WindowManager::sideViewChanged, this, [this](SideView view) {
        if (m_shownSide != view)
            showSidePanel(view);
    });
}

void MorvendaDetailsView::setSelectedMessageID(const std::optional<QUuid> &messageID)
{
    m_selectedMessageID = messageID;
    if (m_details)
        m_details->setSelectedMessageID(m_selectedMessageID);
}

void MorvendaDetailsView::setConnectScreenFactory(PaneFactory factory)
{
    m_connectScreenFactory = std::move(factory);
    if (m_details)
        m_details->setConnectScreenFactory(m_connectScreenFactory);
}

void MorvendaDetailsView::setBottomPaneFactory(BottomView view, PaneFactory factory)
{
    m_bottomFactories.insert(view, std::move(factory));
    if (m_shownBottom == view)
        showBottomPane(view);
}

void MorvendaDetailsView::setSidePanelFactory(SideView view, PaneFactory factory)
{
    m_sideFactories.insert(view, std::move(factory));
    if (m_shownSide == view)
        showSidePanel(view);
}

void MorvendaDetailsView::showDetails()
{
    if (m_windowManager.expandBottomView()) {
        // Discards the exchange details' state with them.
        delete m_details;
        return;
    }
    if (m_details)
        return;
    m_details = new DetailsView(m_repository, m_openUrl);
    m_details->setConnectScreenFactory(m_connectScreenFactory);
    m_details->setSelectedMessageID(m_selectedMessageID);
    m_mainSplit->insertWidget(0, m_details);
    m_details->show();
    if (m_bottomArea->isVisibleTo(this))
        placeAtIdealExtent(m_mainSplit);
}

void MorvendaDetailsView::showBottomPane(BottomView view)
{
    delete m_bottomPane;
    m_shownBottom = view;
    const PaneFactory factory = m_bottomFactories.value(view);
    if (view != BottomView::None && factory) {
        m_bottomPane = factory();
        if (m_bottomPane) {
            m_bottomLayout->addWidget(m_bottomPane);
            m_bottomPane->show();
        }
    }
    const bool wasShown = m_bottomArea->isVisibleTo(this);
    // A pane without its factory yet keeps its place, empty, at its size.
    m_bottomArea->setVisible(view != BottomView::None);
    applyBottomBounds();
    if (!wasShown && view != BottomView::None)
        placeAtIdealExtent(m_mainSplit);
}

void MorvendaDetailsView::showSidePanel(SideView view)
{
    delete m_sidePanel;
    m_shownSide = view;
    const PaneFactory factory = m_sideFactories.value(view);
    if (view != SideView::None && factory) {
        m_sidePanel = factory();
        if (m_sidePanel) {
            m_sideLayout->addWidget(m_sidePanel);
            m_sidePanel->show();
        }
    }
    const bool wasShown = m_sideArea->isVisibleTo(this);
    m_sideArea->setVisible(view != SideView::None);
    if (!wasShown && view != SideView::None)
        placeAtIdealExtent(m_outerSplit);
}

void MorvendaDetailsView::placeAtIdealExtent(QSplitter *split)
{
    const int ideal = split == m_mainSplit ? kBottomIdealHeight : kSideIdealWidth;
    if (!giveIdealExtent(split, ideal))
        m_pendingIdeal.insert(split);
}

bool MorvendaDetailsView::eventFilter(QObject *watched, QEvent *event)
{
    // A split shown or sized for the first time gives the area shown while it was hidden its ideal
    // extent.
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        auto *split = static_cast<QSplitter *>(watched);
        if (m_pendingIdeal.contains(split) && split->isVisible() && extent(split) > 0) {
            m_pendingIdeal.remove(split);
            placeAtIdealExtent(split);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MorvendaDetailsView::applyBottomBounds()
{
    m_bottomArea->setMaximumHeight(m_windowManager.expandBottomView() ? QWIDGETSIZE_MAX : kBottomMaxHeight);
}
