// The application's windows around the shared objects: the one main window (timeline and details
// columns, toolbar, menus, alerts), the five single-instance panel windows keyed by the panel's
// raw value, the preferences window and the one help dialog. Wires the listener to the stores
// exactly once, right after the main window is first shown. Closing the main window closes every
// other window and asks the application to quit. Made by the entry point after the shared
// objects; main thread.
#pragma once

#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/shell/HelpView.h"
#include "MorvendaApp/core/SideView.h"

#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPointer>

class AvatarLoader;
class MainWindow;
class MessageSelection;
class MorvendaCommands;
class PanelWindow;
class Preferences;
class PreferencesView;
struct SharedObjects;

class MainScene : public QObject
{
    Q_OBJECT

public:
    // Opens a link outside the tool (help articles, explorer and admin pages) and says whether it
    // could; QDesktopServices::openUrl when empty. A link that could not be opened raises an
    // alert naming it, so a click never silently does nothing.
    using OpenLink = std::function<bool(const QUrl &)>;

    // The colour scheme needs nothing here: the AppearanceService applies it to the whole
    // application.
    MainScene(SharedObjects &shared, Preferences &preferences, OpenLink openLink = {}, QObject *parent = nullptr);
    ~MainScene() override;

    // Shows the main window; the first time, also finishes start-up (the alert of a server that
    // could not start, the stored-user updater) before returning.
    void show();

    MainWindow *mainWindow() const;
    MorvendaCommands *commands() const { return m_commands; }
    MessageSelection &selection() const { return *m_selection; }

    // Opens the panel's window, or raises and activates it when it is open. Records nothing in
    // the WindowManager (callers do, as the menu commands and panel buttons do).
    void openPanelWindow(SideView view);
    // The panel's window while it is open.
    PanelWindow *panelWindow(SideView view) const;

    // What every side panel is made from: the shared objects (the listener, the stores, the
    // repository, the window manager) and the presenter of help pages.
    struct PanelContext
    {
        SharedObjects &shared;
        HelpButton::Presenter help;
    };
    using PanelFactory = std::function<QWidget *(const PanelContext &)>;
    // A new panel of `view` under its pop-out button, or null for a panel that has no factory.
    // The details column's side area and the panel's own window each make their own.
    QWidget *makePanel(SideView view);

    void showPreferences();
    PreferencesView *preferencesView() const;

    // The Help menu item: shows the help dialog, or closes it when it is shown.
    void toggleHelp();
    void showHelp();
    HelpView *helpView() const;

signals:
    // Start-up finished with the first show (once per scene).
    void wired();
    // The main window closed: the application should end.
    void quitRequested();

private:
    // The frame the platform puts around `window`, or a usual one while it reports none.
    QMargins frameAround(const QWidget *window) const;
    void registerPanelFactories();
    void buildMainWindow();
    QWidget *makeTimelineColumn();
    QWidget *makeDetailsColumn();
    void wireOnce();
    void closeSecondaryWindows();
    // Where a new panel window opens and how large: one step down and right of the panel window
    // opened last (or of the main window), so a window never opens exactly over another, and
    // inside the screen of the main window.
    void placePanelWindow(PanelWindow *window) const;
    // Where an alert opens: the window the developer works in, else the main window, raised.
    QWidget *alertTarget();
    void openLink(const QUrl &url);

    SharedObjects &m_shared;
    Preferences &m_preferences;
    OpenLink m_openLink;
    // What every view is given to open links: m_openLink, with the alert when it fails.
    HelpView::OpenUrl m_openUrl;
    MessageSelection *m_selection = nullptr;
    // Profile pictures, shared by the connect screen and the user panels.
    AvatarLoader *m_avatars = nullptr;
    QPointer<MainWindow> m_mainWindow;
    MorvendaCommands *m_commands = nullptr;
    QHash<SideView, PanelFactory> m_panelFactories;
    QHash<SideView, QPointer<PanelWindow>> m_panelWindows;
    QPointer<PanelWindow> m_lastPanelWindow;
    QPointer<PreferencesView> m_preferencesView;
    QPointer<HelpView> m_helpView;
    bool m_wired = false;
};
