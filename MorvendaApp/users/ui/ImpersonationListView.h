// The impersonation window's content: the stored users in a "Favorites" and a "Stored Users"
// section, and below them "Add new user", help, the two app filter chips and the search field.
// Owns its ImpersonateListViewModel; answers the Delete key on the selected user and opens the
// add-user sheet over its own window. Shown in the side area and in the panel's own window.
// Main thread; the shared objects, the store and the loader outlive it.
#pragma once

#include "UrlOpener.h"

#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/users/AppType.h"

#include <QPointer>
#include <QWidget>

class AvatarLoader;
class ImpersonateListViewModel;
class ImpersonateUserCreationView;
class ImpersonateUserDelegate;
class ImpersonateUserStore;
class ImpersonationListModel;
class MorvendaListener;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedLayout;
class UserManager;

class ImpersonationListView : public QWidget
{
    Q_OBJECT

public:
    struct Services
    {
        MorvendaListener &session;
        UserManager &userManager;
        ImpersonateUserStore &store;
        AvatarLoader &avatars;
        HelpButton::Presenter help;
        OpenUrl openUrl;
    };

    explicit ImpersonationListView(Services services, QWidget *parent = nullptr);

    ImpersonateListViewModel &viewModel() const { return *m_viewModel; }
    ImpersonationListModel &model() const { return *m_model; }
    QListView *list() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    QPushButton *appChip(AppType app) const;
    QPushButton *addUserButton() const { return m_addUser; }
    bool isShowingLoading() const;
    // The token of the selected row; kept when that user disappears from the list.
    const std::optional<QString> &selection() const { return m_selection; }

    // Deletes the selected user, even when the filters hide it now.
    void deleteSelected();
    ImpersonateUserCreationView *presentAddUser();
    // The row's context menu, built for that user; null for a header or no row.
    QMenu *contextMenuFor(const QModelIndex &index);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    QWidget *buildHeader();
    void connectSignals();
    void refreshChips();
    void refreshLoading();
    void restoreSelection();
    void rememberPlace();
    void restorePlace();

    AvatarLoader &m_avatars;
    HelpButton::Presenter m_help;
    OpenUrl m_openUrl;
    ImpersonateListViewModel *m_viewModel;
    ImpersonationListModel *m_model;
    ImpersonateUserDelegate *m_delegate = nullptr;
    QStackedLayout *m_stack = nullptr;
    QLabel *m_loading = nullptr;
    QListView *m_list = nullptr;
    QPushButton *m_addUser = nullptr;
    QList<QPushButton *> m_chips;
    QLineEdit *m_search = nullptr;
    std::optional<QString> m_selection;
    bool m_updatingRows = false;
    // The first user row in view and its top, while the rows change.
    struct Place
    {
        QString userToken;
        int top = 0;
    };
    std::optional<Place> m_place;
    QPointer<ImpersonateUserCreationView> m_sheet;
};
