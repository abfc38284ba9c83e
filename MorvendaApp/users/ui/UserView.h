// The user panel: the user that the active connection's app reported, with its picture and
// flag, name, token, retailer, a button to the retailer's admin page, its tags, and one folding,
// copyable row per known field; or "No user data available" in the middle when there is none.
// Follows UserViewModel; the shared objects and the AvatarLoader outlive it. Main thread.
#pragma once

#include "UrlOpener.h"

#include "MorvendaApp/users/UserViewModel.h"

#include <QWidget>

class AvatarLoader;
class Disclosure;
class PeerTextLabel;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;
class UserImages;
class UserTags;

class UserView : public QWidget
{
    Q_OBJECT

public:
    UserView(UserManager &userManager, MorvendaListener &clientListener, AvatarLoader &avatars,
        OpenUrl openUrl = {}, QWidget *parent = nullptr);

    UserViewModel &viewModel() const { return *m_viewModel; }
    bool showsUser() const;
    QPushButton *adminButton() const { return m_adminButton; }
    // The rows in display order.
    QList<Disclosure *> rows() const;

    void openOnAdmin();

private:
    void buildLayout();
    void showUser(const std::optional<User> &user);
    void rebuildRows(const User &user);

    UserViewModel *m_viewModel;
    AvatarLoader &m_avatars;
    OpenUrl m_openUrl;
    QStackedLayout *m_stack = nullptr;
    QLabel *m_empty = nullptr;
    QScrollArea *m_scroll = nullptr;
    UserImages *m_images = nullptr;
    PeerTextLabel *m_name = nullptr;
    PeerTextLabel *m_token = nullptr;
    PeerTextLabel *m_retailerName = nullptr;
    PeerTextLabel *m_retailerToken = nullptr;
    QPushButton *m_adminButton = nullptr;
    UserTags *m_tags = nullptr;
    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
};
