#include "MainScene.h"

#include "MainWindow.h"
#include "MorvendaCommands.h"
#include "PanelWindow.h"
#include "SharedObjects.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/remote/ui/DeeplinkListView.h"
#include "MorvendaApp/remote/ui/MilestoneListView.h"
#include "MorvendaApp/remote/ui/SettingsListView.h"
#include "MorvendaApp/shell/AlertPresenter.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/ConsoleView.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/core/Alert.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/details/MorvendaDetailsView.h"
#include "MorvendaApp/metrics/ui/MetricsView.h"
#include "MorvendaApp/metrics/ui/RequestAmountChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/components/WindowPlacement.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"
#include "MorvendaApp/users/ui/UserView.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenuBar>
#include <QMessageBox>

MainScene::MainScene(SharedObjects &shared, Preferences &preferences, OpenLink openLink, QObject *parent)
    : QObject(parent)
    , m_shared(shared)
    , m_preferences(preferences)
    , m_openLink(openLink ? std::move(openLink) : OpenLink(&QDesktopServices::openUrl))
    , m_openUrl([this](const QUrl &url) { this->openLink(url); })
    , m_selection(new MessageSelection(this))
    , m_avatars(new AvatarLoader(this))
{
    registerPanelFactories();
    buildMainWindow();
}

void MainScene::registerPanelFactories()
{
    m_panelFactories.insert(SideView::Deeplink,
        [](const PanelContext &context) -> QWidget * { return new DeeplinkListView(context.shared.listener); });
    m_panelFactories.insert(SideView::Settings, [](const PanelContext &context) -> QWidget * {
        return new SettingsListView(context.shared.listener, context.shared.settingsManager);
    });
    m_panelFactories.insert(SideView::Milestone, [](const PanelContext &context) -> QWidget * {
        return new MilestoneListView(context.shared.listener, context.shared.milestoneManager);
    });
    m_panelFactories.insert(SideView::User, [this](const PanelContext &context) -> QWidget * {
        return new UserView(context.shared.userManager, context.shared.listener, *m_avatars, m_openUrl);
    });
    m_panelFactories.insert(SideView::Impersonation, [this](const PanelContext &context) -> QWidget * {
        return new ImpersonationListView(ImpersonationListView::Services{context.shared.listener,
            context.shared.userManager, *context.shared.userStore, *m_avatars, context.help, m_openUrl});
    });
}

QWidget *MainScene::makePanel(SideView view)
{
    const PanelFactory factory = m_panelFactories.value(view);
    if (!factory)
        return nullptr;
    QWidget *panel = factory(PanelContext{m_shared, HelpButton::Presenter{m_openUrl, [this] { showHelp(); }}});
    return applyExternalWindowModifier(panel, view, m_shared.windowManager, [this](SideView v) { openPanelWindow(v); });
}

MainScene::~MainScene()
{
    // Destroyed now, not later: the windows refer to shared objects that go right after the scene.
    for (const QPointer<PanelWindow> &window : std::as_const(m_panelWindows)) {
        delete window.data();
    }
    delete m_preferencesView.data();
    delete m_mainWindow.data();
}

MainWindow *MainScene::mainWindow() const
{
    return m_mainWindow;
}

PreferencesView *MainScene::preferencesView() const
{
    return m_preferencesView;
}

HelpView *MainScene::helpView() const
{
    return m_helpView;
}

void MainScene::buildMainWindow()
{
    m_mainWindow = new MainWindow(m_shared.windowManager, HelpButton::Presenter{m_openUrl, [this] { showHelp(); }});
    m_mainWindow->setColumns(makeTimelineColumn(), makeDetailsColumn());

    MorvendaCommands::Hooks hooks;
    hooks.openWindow = [this](SideView view) { openPanelWindow(view); };
    hooks.toggleHelp = [this] { toggleHelp(); };
    hooks.showPreferences = [this] { showPreferences(); };
    hooks.quit = [this] {
        if (m_mainWindow) {
            m_mainWindow->close();
        }
    };
    MorvendaListener &listener = m_shared.listener;
    m_commands = new MorvendaCommands(m_shared.windowManager, m_shared.repository, m_shared.fileHolder,
        m_shared.logger, [&listener](const Alert::ViewState &alert) { listener.presentAlert(alert); },
        std::move(hooks), m_mainWindow);
    m_commands->install(m_mainWindow->menuBar());

    // The listener's alerts are presented over the main window, one subscription for its life.
    auto *alerts = new AlertPresenter(m_mainWindow);
    alerts->setTargetChooser([this] { return alertTarget(); });
    alerts->setLogger(&m_shared.logger);
    alerts->follow(&listener, &MorvendaListener::alertViewStateChanged, listener.alertViewState());

    connect(m_mainWindow, &MainWindow::closing, this, [this] {
        closeSecondaryWindows();
        emit quitRequested();
    });
}

QWidget *MainScene::makeTimelineColumn()
{
    return new TimelineView(m_shared.listener, m_shared.repository, m_shared.fileHolder, m_shared.logger,
        *m_selection);
}

QWidget *MainScene::makeDetailsColumn()
{
    SharedObjects &shared = m_shared;
    const auto connectScreen = [this, &shared]() -> QWidget * {
        return new ConnectToPeerView(shared.listener, shared.fileHolder, shared.userManager, *m_avatars);
    };
    auto *details = new MorvendaDetailsView(shared.repository, shared.windowManager, m_openUrl);
    details->setConnectScreenFactory(connectScreen);
    details->setBottomPaneFactory(BottomView::Console,
        [&shared]() -> QWidget * { return new ConsoleView(shared.logger, shared.windowManager); });
    const HelpButton::Presenter help{m_openUrl, [this] { showHelp(); }};
    details->setBottomPaneFactory(BottomView::Metrics, [&shared, help]() -> QWidget * {
        auto *pane = new MetricsView(shared.windowManager, help);
        pane->setChartFactory(GraphType::RequestCount, [&shared] { return new RequestAmountChart(shared.repository); });
        pane->setChartFactory(GraphType::RequestDuration, [&shared] { return new RequestDurationChart(shared.repository); });
        return pane;
    });
    for (auto it = m_panelFactories.cbegin(); it != m_panelFactories.cend(); ++it) {
        const SideView view = it.key();
        details->setSidePanelFactory(view, [this, view] { return makePanel(view); });
    }
    connect(m_selection, &MessageSelection::messageIDChanged, details, &MorvendaDetailsView::setSelectedMessageID);
    details->setSelectedMessageID(m_selection->messageID());
    return details;
}

namespace {
// The frame assumed around a window until the platform reports its own: a title bar and thin
// borders, as window managers draw them. Under X11 a window's frame is known only once the window
// manager has framed it on screen, after it was placed.
constexpr QMargins kUsualFrame{4, 30, 4, 4};
} // namespace

QMargins MainScene::frameAround(const QWidget *window) const
{
    const QMargins frame = WindowPlacement::frameMargins(window, m_mainWindow);
    return frame.isNull() ? kUsualFrame : frame;
}

void MainScene::show()
{
    if (!m_wired && m_mainWindow->size() == MainWindow::kDefaultSize) {
        // The default size where the screen has room for it and its frame; never larger, so the
        // filter bar and the footer are on it without maximising. The window is placed by its
        // frame: before it exists on the platform, its position is the frame's top-left corner,
        // wherever the frame turns out to be. A size set before the first show is kept.
        const QSize room = WindowPlacement::availableArea(m_mainWindow).size().shrunkBy(frameAround(m_mainWindow));
        WindowPlacement::place(m_mainWindow, m_mainWindow->pos(), m_mainWindow, MainWindow::kDefaultSize.boundedTo(room));
        WindowPlacement::keepInsideOnceFramed(m_mainWindow);
    }
    m_mainWindow->show();
    wireOnce();
}

void MainScene::wireOnce()
{
    if (m_wired) {
        return;
    }
    m_wired = true;
    // A server that could not start (a fixed port already taken, for instance) is said at once:
    // the connect screen would otherwise wait for apps that can never reach this window. The
    // reason is in the console.
    if (!m_shared.listener.isListening()) {
        m_shared.listener.presentAlert(Alert::ViewState{L10n::text("Listener.unableToStartTitle"),
            L10n::tr("Listener.unableToStartMessage", m_shared.listener.startError()), {}});
    }
    m_shared.impersonateUpdater.start(m_shared.userManager);
    // Reports that cannot be stored (a full disk) are said like a failed change of the notes.
    connect(&m_shared.impersonateUpdater, &ImpersonateUpdater::storeFailed, this, [this](const QString &error) {
        m_shared.listener.presentAlert(Alert::ViewState{L10n::text("Impersonation.UnableToSaveUser.title"), error, {}});
    });
    // A store set aside as damaged, or none at all, is said once, now that there is a window.
    if (!m_shared.userStore->isAvailable()) {
        m_shared.listener.presentAlert(Alert::ViewState{L10n::text("Impersonation.StoreUnavailable.title"),
            L10n::tr("Impersonation.StoreUnavailable.message", m_shared.userStore->unavailableReason()), {}});
    } else if (const auto &aside = m_shared.userStore->recoveredFile()) {
        m_shared.listener.presentAlert(Alert::ViewState{L10n::text("Impersonation.StoreRecovered.title"),
            L10n::tr("Impersonation.StoreRecovered.message", *aside), {}});
    }
    emit wired();
}

void MainScene::openPanelWindow(SideView view)
{
    if (view == SideView::None) {
        return;
    }
    QPointer<PanelWindow> &window = m_panelWindows[view];
    if (!window) {
        window = new PanelWindow(view, m_shared.windowManager, makePanel(view));
        placePanelWindow(window);
        m_lastPanelWindow = window;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void MainScene::placePanelWindow(PanelWindow *window) const
{
    constexpr int kStep = 28;
    const QWidget *previous = m_lastPanelWindow && m_lastPanelWindow->isVisible() ? m_lastPanelWindow.data()
                                                                                 : static_cast<QWidget *>(m_mainWindow);
    const QRect area = WindowPlacement::availableArea(m_mainWindow);
    const QMargins frame = WindowPlacement::frameMargins(window, m_mainWindow);
    // Positions are the frames' top-left corners; `room` is where a frame's top-left may be for
    // the smallest window to fit.
    const QSize least = window->minimumSize().grownBy(frame);
    const QRect room(area.topLeft(), area.size() - least + QSize(1, 1));
    QPoint at = previous ? previous->pos() + QPoint(kStep, kStep) : area.topLeft() + QPoint(kStep, kStep);
    if (!room.contains(at))
        at = area.topLeft() + QPoint(kStep, kStep);
    // Down the cascade a window gives up height (and width) rather than run off the screen.
    const QSize left = QSize(area.right() + 1 - at.x(), area.bottom() + 1 - at.y()).shrunkBy(frame);
    WindowPlacement::place(window, at, m_mainWindow, PanelWindow::kDefaultSize.boundedTo(left));
}

PanelWindow *MainScene::panelWindow(SideView view) const
{
    return m_panelWindows.value(view);
}

void MainScene::showPreferences()
{
    if (!m_preferencesView) {
        m_preferencesView = new PreferencesView(m_preferences);
        m_preferencesView->setAttribute(Qt::WA_DeleteOnClose);
        WindowPlacement::centreOn(m_preferencesView, m_mainWindow);
    }
    m_preferencesView->show();
    m_preferencesView->raise();
    m_preferencesView->activateWindow();
}

void MainScene::toggleHelp()
{
    if (m_helpView && m_helpView->isVisible()) {
        m_helpView->close();
    } else {
        showHelp();
    }
}

void MainScene::showHelp()
{
    const bool made = !m_helpView;
    if (made)
        m_helpView = new HelpView(m_openUrl, m_mainWindow);
    // On a screen smaller than the dialog, it fits the screen and its list scrolls.
    m_helpView->fitInto(WindowPlacement::availableArea(m_mainWindow).size().shrunkBy(frameAround(m_helpView)));
    if (made)
        WindowPlacement::centreOn(m_helpView, m_mainWindow);
    m_helpView->show();
    m_helpView->raise();
    m_helpView->activateWindow();
}

void MainScene::closeSecondaryWindows()
{
    for (const QPointer<PanelWindow> &window : std::as_const(m_panelWindows)) {
        if (window) {
            window->close();
        }
    }
    if (m_preferencesView) {
        m_preferencesView->close();
    }
    if (m_helpView) {
        m_helpView->close();
    }
}

QWidget *MainScene::alertTarget()
{
    // A panel's own window or a sheet over it: the alert opens there, never behind it.
    QWidget *active = QApplication::activeWindow();
    if (active && active != m_mainWindow && active->isVisible() && !qobject_cast<QMessageBox *>(active)) {
        return active;
    }
    if (m_mainWindow) {
        m_mainWindow->raise();
    }
    return nullptr;
}

void MainScene::openLink(const QUrl &url)
{
    if (m_openLink(url))
        return;
    const QString link = url.toString();
    m_shared.logger.error(QStringLiteral("Unable to open %1").arg(link));
    m_shared.listener.presentAlert(Alert::ViewState{L10n::text("Link.unableToOpenTitle"),
        L10n::tr("Link.unableToOpenMessage", link),
        {Alert::Action{L10n::text("Link.copy"), [link] { QGuiApplication::clipboard()->setText(link); }},
            Alert::Action{L10n::text("OK"), {}}}});
}
