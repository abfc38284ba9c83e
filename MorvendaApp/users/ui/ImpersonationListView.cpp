#include "ImpersonationListView.h"

#include "AppBadge.h"
#include "AvatarLoader.h"
#include "ImpersonateUserCreationView.h"
#include "ImpersonateUserDelegate.h"
#include "ImpersonateUserViewContextMenu.h"
#include "ImpersonationListModel.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/PaletteFollower.h"
#include "MorvendaApp/components/SymbolLabel.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr int kChipIconSize = 15;

QString chipLabel(AppType app)
{
    // Shown as they stand, not looked up.
    return app == AppType::Retailer ? QStringLiteral("Retailer") : QStringLiteral("Brand");
}

AppBadge::App badgeOf(AppType app)
{
    return app == AppType::Retailer ? AppBadge::App::Retailer : AppBadge::App::Brand;
}

QString rgba(QColor colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 3);
}

} // namespace

ImpersonationListView::ImpersonationListView(Services services, QWidget *parent)
    : QWidget(parent)
    , m_avatars(services.avatars)
    , m_help(std::move(services.help))
    , m_openUrl(std::move(services.openUrl))
    , m_viewModel(new ImpersonateListViewModel(services.session, services.userManager, services.store, this))
    , m_model(new ImpersonationListModel(*m_viewModel, this))
{
    buildLayout();
    connectSignals();
    refreshChips();
    refreshLoading();
}

void ImpersonationListView::buildLayout()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // Room for the pop-out button, which floats over the panel's top edge, and the note that the
    // app has gone.
    column->addWidget(PanelTopStrip::following(m_viewModel->activeApp(), this));

    auto *listArea = new QWidget(this);
    m_stack = new QStackedLayout(listArea);
    const bool storeAvailable = m_viewModel->store().isAvailable();
    m_loading = new QLabel(L10n::text(storeAvailable ? "Loading" : "Impersonation.storeUnavailable"), listArea);
    m_loading->setAlignment(Qt::AlignCenter);
    m_loading->setWordWrap(true);
    m_stack->addWidget(m_loading);

    // The first section starts a little below the top.
    auto *listPage = new QWidget(listArea);
    auto *pageLayout = new QVBoxLayout(listPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    m_list = new QListView(listPage);
    pageLayout->addWidget(m_list);
    m_list->setObjectName(QStringLiteral("impersonationList"));
    m_list->setModel(m_model);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setResizeMode(QListView::Adjust);
    // Rows are measured from cached metrics, so even thousands lay out in one pass before the first
    // paint; laying out in batches instead would paint a list that is still growing and lose the
    // scroll position with every change of the rows.
    m_list->setLayoutMode(QListView::SinglePass);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    ImpersonateUserDelegate::Actions actions;
    actions.toggleFavorite = [this](const ImpersonateUserData &user) { m_viewModel->toggleFavorite(user); };
    actions.impersonate = [this](const ImpersonateUserData &user) { m_viewModel->impersonate(user); };
    actions.setNotes = [this](const QString &notes, const ImpersonateUserData &user) { m_viewModel->setNotes(notes, user); };
    m_delegate = new ImpersonateUserDelegate(*m_model, m_viewModel->activeApp(), m_avatars, std::move(actions), m_list);
    m_list->setItemDelegate(m_delegate);
    m_stack->addWidget(listPage);
    column->addWidget(listArea, 1);

    column->addWidget(buildHeader());
}

QWidget *ImpersonationListView::buildHeader()
{
    auto *header = new QWidget(this);
    auto *stack = new QVBoxLayout(header);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 4, 12, 4);
    buttons->setSpacing(4);
    m_addUser = new QPushButton(L10n::text("Impersonation.addNewUser"), header);
    PaletteFollower::follow(m_addUser, [button = m_addUser] {
        button->setIcon(Symbols::icon(QStringLiteral("person.crop.rectangle.badge.plus.fill"),
            namedColor(NamedColor::Primary, button->palette())));
    });
    m_addUser->setEnabled(m_viewModel->store().isAvailable());
    buttons->addWidget(m_addUser);
    buttons->addStretch(1);
    buttons->addWidget(new HelpButton(Help::Impersonation, m_help, header));
    stack->addLayout(buttons);

    auto *line = new QFrame(header);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    stack->addWidget(line);

    auto *chips = new QHBoxLayout;
    chips->setContentsMargins(12, 4, 12, 4);
    chips->setSpacing(4);
    for (const AppType app : allAppTypes) {
        auto *chip = new QPushButton(chipLabel(app), header);
        chip->setObjectName(rawValue(app));
        chip->setIcon(QIcon(AppBadge::pixmap(badgeOf(app), kChipIconSize, devicePixelRatioF())));
        chip->setIconSize(QSize(kChipIconSize, kChipIconSize));
        chip->setCursor(Qt::PointingHandCursor);
        connect(chip, &QPushButton::clicked, m_viewModel, [this, app] { m_viewModel->selectApp(app); });
        chips->addWidget(chip);
        m_chips.append(chip);
    }
    chips->addStretch(1);
    stack->addLayout(chips);
    // The chips' style sheets hold colours of the palette they were made in.
    PaletteFollower::follow(header, [this] { refreshChips(); });

    auto *search = new QHBoxLayout;
    search->setContentsMargins(4, 4, 4, 10);
    auto *funnel = new SymbolLabel(QStringLiteral("line.3.horizontal.decrease.circle"), NamedColor::Primary, 16, header);
    m_search = new QLineEdit(header);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(L10n::text("Impersonation.searchForUser"));
    m_search->setClearButtonEnabled(true);
    search->addWidget(funnel);
    search->addWidget(m_search, 1);
    stack->addLayout(search);
    return header;
}

void ImpersonationListView::connectSignals()
{
    connect(m_addUser, &QPushButton::clicked, this, [this] { presentAddUser(); });
    connect(m_search, &QLineEdit::textChanged, m_viewModel, &ImpersonateListViewModel::setTextFilter);
    connect(m_viewModel, &ImpersonateListViewModel::textFilterChanged, m_search, [this](const QString &text) {
        if (m_search->text() != text) {
            m_search->setText(text);
        }
    });
    connect(m_viewModel, &ImpersonateListViewModel::selectedAppChanged, this, &ImpersonationListView::refreshChips);
    connect(m_viewModel, &ImpersonateListViewModel::isLoadingChanged, this, &ImpersonationListView::refreshLoading);
    // While the rows follow a new filter result, the current row moves when its row leaves; the
    // developer's selection stays the user they chose, and is shown again when that user returns.
    // The user at the top of the list stays where it was, so a star clicked or a user arriving
    // above does not move the rows the developer is looking at.
    connect(m_model, &ImpersonationListModel::rowsUpdating, this, [this] {
        m_updatingRows = true;
        rememberPlace();
    });
    connect(m_model, &ImpersonationListModel::rowsUpdated, this, [this] {
        m_updatingRows = false;
        restoreSelection();
        restorePlace();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (m_updatingRows) {
            return;
        }
        const QVariant token = current.data(ImpersonationListModel::UserTokenRole);
        if (token.isValid()) {
            m_selection = token.toString();
        }
    });
    connect(m_delegate, &ImpersonateUserDelegate::notesClicked, m_list, [this](const QModelIndex &index) {
        m_list->setCurrentIndex(index);
        m_list->edit(index);
    });
    connect(m_list, &QListView::customContextMenuRequested, this, [this](const QPoint &at) {
        if (QMenu *menu = contextMenuFor(m_list->indexAt(at))) {
            menu->popup(m_list->viewport()->mapToGlobal(at));
        }
    });
    // The name buttons follow the app and its connection (the model marks the current user's row).
    const auto repaint = [this] { m_list->viewport()->update(); };
    connect(&m_viewModel->activeApp(), &ActiveApp::changed, m_list, repaint);
    connect(&m_avatars, &AvatarLoader::finished, m_list, repaint);
}

QPushButton *ImpersonationListView::appChip(AppType app) const
{
    return m_chips.value(app == AppType::Retailer ? 0 : 1);
}

void ImpersonationListView::refreshChips()
{
    const std::optional<AppType> selected = m_viewModel->selectedApp();
    for (const AppType app : allAppTypes) {
        QPushButton *chip = appChip(app);
        const bool on = selected && *selected == app;
        QColor tint = on ? namedColor(NamedColor::Accent, palette()) : namedColor(NamedColor::Secondary, palette());
        if (on) {
            tint.setAlphaF(0.5f);
        }
        chip->setProperty("selectedChip", on);
        chip->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: none;"
                                           " border-radius: 4px; padding: 3px 8px; }")
                .arg(rgba(tint), rgba(palette().color(QPalette::ButtonText))));
    }
}

void ImpersonationListView::refreshLoading()
{
    m_stack->setCurrentIndex(m_viewModel->isLoading() ? 0 : 1);
}

bool ImpersonationListView::isShowingLoading() const
{
    return m_stack->currentWidget() == m_loading;
}

void ImpersonationListView::restoreSelection()
{
    // The highlight is always on the user Delete would remove, or on no row. A list of single
    // selection moves the highlight to a neighbour when the selected row leaves; while the
    // selected user is hidden no other user may look selected.
    const QModelIndex index = m_selection ? m_model->indexOfToken(*m_selection) : QModelIndex();
    QItemSelectionModel *selection = m_list->selectionModel();
    {
        // Unannounced, so the view does not scroll to the row: the list keeps its place.
        QSignalBlocker blocker(selection);
        if (index.isValid()) {
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        } else {
            selection->clear();
        }
    }
    m_list->viewport()->update();
}

void ImpersonationListView::rememberPlace()
{
    m_place.reset();
    if (m_list->verticalScrollBar()->value() == 0) {
        return; // at the top the list shows what arrives there
    }
    for (int y = 0; y < m_list->viewport()->height(); y += 8) {
        const QModelIndex index = m_list->indexAt(QPoint(m_list->viewport()->width() / 2, y));
        const QVariant token = index.data(ImpersonationListModel::UserTokenRole);
        if (token.isValid()) {
            m_place = Place{token.toString(), m_list->visualRect(index).top()};
            return;
        }
    }
}

void ImpersonationListView::restorePlace()
{
    if (!m_place) {
        return;
    }
    const QModelIndex index = m_model->indexOfToken(m_place->userToken);
    if (!index.isValid()) {
        return;
    }
    // The rows are laid out now instead of at the next turn of the event loop, so the row's new
    // position is known before anything paints.
    m_list->doItemsLayout();
    QScrollBar *bar = m_list->verticalScrollBar();
    bar->setValue(bar->value() + m_list->visualRect(index).top() - m_place->top);
}

void ImpersonationListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Every appearance reloads, as a window that was away may have missed reported users.
    m_viewModel->fetchUsers();
}

bool ImpersonationListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize) {
        // A list of one column lays its rows out again only when its height changes; rows whose
        // tags wrap differently at the new width would overlap. Measure and paint at this width.
        const int width = static_cast<QResizeEvent *>(event)->size().width();
        if (width != m_delegate->rowWidth()) {
            m_delegate->setRowWidth(width);
            m_list->doItemsLayout();
        }
        return false;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        // Only the platform's Delete command: Backspace is what fixes a typo in the notes just
        // closed with Return, and must never take the user with its star and notes.
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Delete)) {
            deleteSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ImpersonationListView::deleteSelected()
{
    if (m_selection) {
        m_viewModel->deleteUser(*m_selection);
    }
}

ImpersonateUserCreationView *ImpersonationListView::presentAddUser()
{
    if (!m_sheet) {
        m_sheet = new ImpersonateUserCreationView(*m_viewModel, window());
    }
    m_sheet->open();
    return m_sheet;
}

QMenu *ImpersonationListView::contextMenuFor(const QModelIndex &index)
{
    const std::optional<ImpersonateUserData> user = m_model->record(index);
    if (!user) {
        return nullptr;
    }
    auto *menu = new ImpersonateUserViewContextMenu(*user, *m_viewModel, m_openUrl, m_list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}
