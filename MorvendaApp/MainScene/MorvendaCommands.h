// The menu bar's commands: File (save the current session, open a session file, preferences,
// quit), Window (each panel in the sidebar, Ctrl+1…5, or in its own window, Ctrl+Alt+1…5, under
// two disabled headings) and Help (the help dialog). Every shortcut works from every window of
// the application. Holds no state; every action reads the shared objects when it runs. Owned by
// the main window; main thread.
#pragma once

#include "MorvendaApp/session/ui/AlertSink.h"
#include "MorvendaApp/core/SideView.h"

#include <QHash>
#include <QObject>

#include <functional>

class FileHolder;
class Logger;
class MessageRepository;
class QAction;
class QMenuBar;
class QWidget;
class WindowManager;

class MorvendaCommands : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        // Opens the panel's window, or raises it when it is open.
        std::function<void(SideView)> openWindow;
        std::function<void()> toggleHelp;
        std::function<void()> showPreferences;
        std::function<void()> quit;
    };

    // `window` parents the actions and the file panels; the menus go into its menu bar.
    MorvendaCommands(WindowManager &windowManager, MessageRepository &repository, FileHolder &fileHolder,
        Logger &logger, AlertSink alertSink, Hooks hooks, QWidget *window);

    void install(QMenuBar *menuBar);

    void saveSession();
    void openSession();

    QAction *saveAction() const { return m_save; }
    QAction *preferencesAction() const { return m_preferences; }
    QAction *quitAction() const { return m_quit; }
    QAction *windowAction(SideView view) const { return m_windowItems.value(view); }
    QAction *helpAction() const { return m_help; }

private:
    QAction *makeAction(const QString &text, const QKeySequence &shortcut, std::function<void()> run);
    void buildActions();

    WindowManager &m_windowManager;
    MessageRepository &m_repository;
    FileHolder &m_fileHolder;
    Logger &m_logger;
    AlertSink m_alertSink;
    Hooks m_hooks;
    QWidget *m_window;
    QAction *m_save = nullptr;
    QAction *m_open = nullptr;
    QAction *m_preferences = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_help = nullptr;
    QHash<SideView, QAction *> m_sidebarItems;
    QHash<SideView, QAction *> m_windowItems;
};
