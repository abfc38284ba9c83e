#include "MorvendaApp/timeline/TimelineToolbar.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/components/ViewModifiers.h"
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/session/ui/FileOpener.h"
#include "MorvendaApp/session/ui/FileSaver.h"
#include "MorvendaApp/shell/Asset.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/timeline/ColoredMenuAction.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaModel/ShownText.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kButtonSymbolSize = 18;
constexpr int kSourceSymbolSize = 24;

SymbolButton *toolbarButton(const QString &symbol, QWidget *parent)
{
    auto *button = new SymbolButton(symbol, parent);
    button->setSymbolSize(kButtonSymbolSize);
    button->setAutoRaise(true);
    button->setContentsMargins(2, 0, 2, 0);
    applyDarkenedForLightMode(button);
    return button;
}

// Menu and button texts from apps and file names: "&" is a literal ampersand, and a name
// megabytes long is cut to what a button shows before the style elides it.
QString literal(const QString &text)
{
    return ShownText::cut(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::function<QColor(const QPalette &)> itemColor(bool current)
{
    return [current](const QPalette &palette) {
        return namedColor(current ? NamedColor::Blue : NamedColor::Secondary, palette);
    };
}

} // namespace

TimelineToolbar::TimelineToolbar(MorvendaListener &listener, MessageRepository &repository, FileHolder &fileHolder,
                                 Logger &logger, MessageSelection &selection, QWidget *parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_repository(repository)
    , m_fileHolder(fileHolder)
    , m_logger(logger)
    , m_selection(selection)
{
    buildLayout();
    connectSignals();
    refresh();
}

void TimelineToolbar::buildLayout()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *buttons = new QHBoxLayout;
    m_recordButton = toolbarButton(QStringLiteral("record.circle"), this);
    m_saveButton = toolbarButton(QStringLiteral("square.and.arrow.up"), this);
    m_saveButton->setToolTip(L10n::text("Timeline.save"));
    m_openButton = toolbarButton(QStringLiteral("square.and.arrow.down"), this);
    m_openButton->setToolTip(L10n::text("Timeline.open"));
    m_clearButton = toolbarButton(QStringLiteral("trash"), this);
    m_clearButton->setToolTip(L10n::text("Timeline.clear"));
    m_clearButton->setTint(NamedColor::Red);
    for (QWidget *button : {m_recordButton, m_saveButton, m_openButton, m_clearButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    column->addLayout(buttons);

    m_sourceButton = new QToolButton(this);
    m_sourceButton->setObjectName(QStringLiteral("sourceMenuButton"));
    m_sourceButton->setPopupMode(QToolButton::InstantPopup);
    m_sourceButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_sourceButton->setAutoRaise(true);
    m_sourceButton->setIconSize(QSize(kSourceSymbolSize, kSourceSymbolSize));
    m_sourceMenu = new QMenu(m_sourceButton);
    m_sourceButton->setMenu(m_sourceMenu);
    column->addSpacing(8);
    column->addWidget(m_sourceButton, 0, Qt::AlignLeft);
}

void TimelineToolbar::connectSignals()
{
    connect(m_recordButton, &QToolButton::clicked, this, &TimelineToolbar::toggleRecording);
    connect(m_saveButton, &QToolButton::clicked, this, &TimelineToolbar::saveSession);
    connect(m_openButton, &QToolButton::clicked, this, &TimelineToolbar::openSession);
    connect(m_clearButton, &QToolButton::clicked, this, &TimelineToolbar::clearTimeline);
    connect(m_sourceMenu, &QMenu::aboutToShow, this, &TimelineToolbar::rebuildSourceMenu);

    connect(&m_listener, &MorvendaListener::timelineRecordingEnabledChanged, this, &TimelineToolbar::refresh);
    connect(&m_listener, &MorvendaListener::connectionsChanged, this, &TimelineToolbar::refresh);
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this, &TimelineToolbar::refresh);
    connect(&m_fileHolder, &FileHolder::filesChanged, this, &TimelineToolbar::refresh);
    connect(&m_fileHolder, &FileHolder::openedFileChanged, this, &TimelineToolbar::refresh);
    connect(&m_repository, &MessageRepository::currentTimelineChanged, this, [this] {
        const bool hasRows = m_repository.timelineCount() > 0;
        m_saveButton->setEnabled(hasRows);
        m_clearButton->setEnabled(hasRows);
    });
}

void TimelineToolbar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshSource();
}

void TimelineToolbar::refresh()
{
    const bool recording = m_listener.timelineRecordingEnabled();
    m_recordButton->setSymbol(recording ? QStringLiteral("record.circle") : QStringLiteral("pause.circle"));
    m_recordButton->setTint(recording ? std::optional(NamedColor::Red) : std::nullopt);
    m_recordButton->setToolTip(recording ? L10n::text("Timeline.pauseUpdates") : L10n::text("Timeline.resumeUpdates"));
    const bool hasRows = m_repository.timelineCount() > 0;
    m_saveButton->setEnabled(hasRows);
    m_clearButton->setEnabled(hasRows);
    refreshSource();
}

void TimelineToolbar::refreshSource()
{
    m_sourceButton->setVisible(!m_fileHolder.files().isEmpty() || !m_listener.connections().isEmpty());
    const auto active = m_listener.activeConnection();
    const auto &file = m_fileHolder.openedFile();
    const QColor primary = namedColor(NamedColor::Primary, palette());
    if (active) {
        m_sourceButton->setIcon(Symbols::icon(QStringLiteral("globe"), primary, kSourceSymbolSize));
        m_sourceButton->setText(literal(active->displayName()));
    } else if (file) {
        m_sourceButton->setIcon(Symbols::icon(QStringLiteral("doc.fill"), primary, kSourceSymbolSize));
        m_sourceButton->setText(literal(*file));
    } else {
        m_sourceButton->setIcon(QIcon(Asset::pixmap(Asset::logo, QSize(kSourceSymbolSize, kSourceSymbolSize),
                                                    devicePixelRatioF())));
        m_sourceButton->setText(QString());
    }
}

void TimelineToolbar::rebuildSourceMenu()
{
    m_sourceMenu->clear();
    const auto active = m_listener.activeConnection();
    const auto &connections = m_listener.connections();
    if (!connections.isEmpty()) {
        m_sourceMenu->addAction(L10n::text("Timeline.selectPeer"))->setEnabled(false);
        for (const MorvendaListener::ConnectionPtr &connection : connections) {
            const bool current = active && active->id() == connection->id();
            auto *item = new ColoredMenuAction(QStringLiteral("globe"), ShownText::cut(connection->displayName()), itemColor(current),
                                               m_sourceMenu);
            item->setData(connection->id());
            // Closed connections stay listed; the connect screen's badge says so, and so does this.
            if (!connection->isOpen())
                item->setNote(L10n::text("Timeline.closedConnection"));
            connect(item, &QAction::triggered, this, [this, weak = std::weak_ptr(connection)] {
                // The connection may have gone while the menu was open.
                if (const auto chosen = weak.lock()) {
                    m_listener.select(chosen);
                    m_fileHolder.setOpenedFile(std::nullopt);
                }
            });
            m_sourceMenu->addAction(item);
        }
        m_sourceMenu->addSeparator();
    }
    const QStringList &files = m_fileHolder.files();
    if (!files.isEmpty()) {
        m_sourceMenu->addSeparator();
        m_sourceMenu->addAction(L10n::text("Timeline.selectOpenFile"))->setEnabled(false);
        for (const QString &file : files) {
            auto *item = new ColoredMenuAction(QStringLiteral("doc.fill"), ShownText::cut(file),
                                               itemColor(m_fileHolder.openedFile() == file), m_sourceMenu);
            item->setData(file);
            connect(item, &QAction::triggered, this, [this, file] {
                m_listener.setActiveConnection(nullptr);
                m_fileHolder.setOpenedFile(file);
            });
            m_sourceMenu->addAction(item);
        }
        m_sourceMenu->addSeparator();
    }
}

void TimelineToolbar::toggleRecording()
{
    m_listener.setTimelineRecordingEnabled(!m_listener.timelineRecordingEnabled());
}

FileSaver *TimelineToolbar::saveSession()
{
    auto *saver = new FileSaver(m_repository, m_logger, alertSink(), window());
    saver->save();
    return saver;
}

FileOpener *TimelineToolbar::openSession()
{
    auto *opener = new FileOpener(m_repository, m_fileHolder, m_logger, alertSink(), window());
    opener->open();
    return opener;
}

AlertSink TimelineToolbar::alertSink()
{
    return [listener = QPointer<MorvendaListener>(&m_listener)](const Alert::ViewState &alert) {
        if (listener)
            listener->presentAlert(alert);
    };
}

void TimelineToolbar::clearTimeline()
{
    m_selection.setMessageID(std::nullopt);
    // A file still being read would otherwise refill the timeline just cleared.
    SessionFile::cancelLoads(m_repository);
    m_repository.clear();
}
