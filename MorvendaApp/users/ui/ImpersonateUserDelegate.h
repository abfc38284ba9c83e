// Paints the impersonation list's rows and answers their clicks: section headers, and per stored
// user the avatar (green ring for the user the app is signed in as), favourite star, flag, app
// badge, name button, tags, e-mail, tokens and the notes field, which opens an editor that
// stores every change. Rows are painted, not built of widgets, so thousands of users open at
// once. Main thread; the shared objects and the loader outlive it.
#pragma once

#include "MorvendaApp/users/ImpersonateUserData.h"

#include <QStyledItemDelegate>

#include <functional>

class ActiveApp;
class AvatarLoader;
class MorvendaListener;
class UserManager;

class ImpersonateUserDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kAvatarSize = 40;

    struct Actions
    {
        std::function<void(const ImpersonateUserData &)> toggleFavorite;
        std::function<void(const ImpersonateUserData &)> impersonate;
        std::function<void(const QString &notes, const ImpersonateUserData &)> setNotes;
    };

    // Where each part of a user row lies, relative to the row's rectangle.
    struct Geometry
    {
        QRect avatar;
        QRect star;
        QRect flag;
        QRect badge;
        QRect name;
        QRect tags;
        QRect email;
        QRect tokens;
        QRect notes;
        int height = 0;
    };

    // The name buttons are live only while `app` is reachable.
    ImpersonateUserDelegate(MorvendaListener &session, const ActiveApp &app, UserManager &userManager,
        AvatarLoader &avatars, Actions actions, QObject *parent = nullptr);

    // True when the active app reports a signed-in user with exactly this token.
    static bool isCurrentUser(const MorvendaListener &session, const UserManager &userManager,
        const ImpersonateUserData &user);

    Geometry geometry(const QStyleOptionViewItem &option, const ImpersonateUserData &user) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

signals:
    // A click in the notes field of the row: the view opens the editor there.
    void notesClicked(const QModelIndex &index);

private:
    void paintHeader(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void paintUser(QPainter *painter, const QStyleOptionViewItem &option, const ImpersonateUserData &user) const;

    MorvendaListener &m_session;
    const ActiveApp &m_app;
    UserManager &m_userManager;
    AvatarLoader &m_avatars;
    Actions m_actions;
};
