#include "MorvendaCommands.h"

#include "MorvendaApp/session/ui/FileOpener.h"
#include "MorvendaApp/session/ui/FileSaver.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/core/WindowManager.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
// The five panels in menu order; `None` is never listed.
constexpr std::array<SideView, 5> kPanels = {SideView::User, SideView::Impersonation, SideView::Settings,
    SideView::Milestone, SideView::Deeplink};

QAction *heading(const QString &text, QObject *parent)
{
    auto *action = new QAction(text, parent);
    action->setEnabled(false);
    return action;
}
} // namespace

MorvendaCommands::MorvendaCommands(WindowManager &windowManager, MessageRepository &repository,
    FileHolder &fileHolder, Logger &logger, AlertSink alertSink, Hooks hooks, QWidget *window)
    : QObject(window)
    , m_windowManager(windowManager)
    , m_repository(repository)
    , m_fileHolder(fileHolder)
    , m_logger(logger)
    , m_alertSink(std::move(alertSink))
    , m_hooks(std::move(hooks))
    , m_window(window)
{
    buildActions();
}

QAction *MorvendaCommands::makeAction(const QString &text, const QKeySequence &shortcut, std::function<void()> run)
{
    auto *action = new QAction(text, m_window);
    action->setShortcut(shortcut);
    // Panel windows, the help and the preferences have no menu bar of their own.
    action->setShortcutContext(Qt::ApplicationShortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

void MorvendaCommands::buildActions()
{
    m_save = makeAction(L10n::text("Command.save"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { saveSession(); });
    m_open = makeAction(L10n::text("Command.open"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { openSession(); });
    m_preferences = makeAction(L10n::text("Command.preferences"), {}, [this] {
        if (m_hooks.showPreferences) {
            m_hooks.showPreferences();
        }
    });
    m_preferences->setMenuRole(QAction::PreferencesRole);
    m_quit = makeAction(L10n::text("Command.quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (m_hooks.quit) {
            m_hooks.quit();
        }
    });
    m_quit->setMenuRole(QAction::QuitRole);

    for (std::size_t i = 0; i < kPanels.size(); ++i) {
        const SideView view = kPanels[i];
        const auto digit = Qt::Key(Qt::Key_1 + int(i));
        m_sidebarItems.insert(view, makeAction(helpText(view), QKeySequence(Qt::CTRL | digit),
            [this, view] { m_windowManager.toggle(view); }));
        m_windowItems.insert(view, makeAction(helpText(view), QKeySequence(Qt::CTRL | Qt::ALT | digit), [this, view] {
            m_windowManager.open(view);
            if (m_hooks.openWindow) {
                m_hooks.openWindow(view);
            }
        }));
    }
    m_help = makeAction(L10n::text("Help.sideTitle"), {}, [this] {
        if (m_hooks.toggleHelp) {
            m_hooks.toggleHelp();
        }
    });
}

void MorvendaCommands::install(QMenuBar *menuBar)
{
    QMenu *file = menuBar->addMenu(L10n::text("Menu.file"));
    file->addAction(m_save);
    file->addAction(m_open);
    file->addSeparator();
    file->addAction(m_preferences);
    file->addSeparator();
    file->addAction(m_quit);

    QMenu *window = menuBar->addMenu(L10n::text("Menu.window"));
    window->addAction(heading(L10n::text("Menu.openSidebar"), window));
    for (const SideView view : kPanels) {
        window->addAction(m_sidebarItems.value(view));
    }
    window->addSeparator();
    window->addAction(heading(L10n::text("Menu.openWindow"), window));
    for (const SideView view : kPanels) {
        window->addAction(m_windowItems.value(view));
    }

    QMenu *help = menuBar->addMenu(L10n::text("Menu.help"));
    help->addAction(m_help);
}

void MorvendaCommands::saveSession()
{
    // Each command has its own panel; the saver deletes itself once it is answered.
    auto *saver = new FileSaver(m_repository, m_logger, m_alertSink, m_window);
    saver->save();
}

void MorvendaCommands::openSession()
{
    auto *opener = new FileOpener(m_repository, m_fileHolder, m_logger, m_alertSink, m_window);
    opener->open();
}
