// Paints the impersonation list's rows and answers their clicks: section headers, and per stored
// user the avatar (green ring for the user the app is signed in as), favourite star, flag, app
// badge, name button, tags, e-mail, tokens and the notes field, which opens an editor that
// stores every change. Rows are painted, not built of widgets, and measured from metrics kept per
// font, so thousands of users lay out at once. A row is measured and painted at one width, the
// one the view sets for its rows. Main thread; the model, the shared objects and the loader
// outlive it.
#pragma once

#include "MorvendaApp/users/ImpersonateUserData.h"

#include <QHash>
#include <QStyledItemDelegate>

#include <functional>
#include <memory>

class ActiveApp;
class AvatarLoader;
class ImpersonationListModel;

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
    ImpersonateUserDelegate(const ImpersonationListModel &model, const ActiveApp &app, AvatarLoader &avatars,
        Actions actions, QObject *parent = nullptr);
    ~ImpersonateUserDelegate() override;

    // The width rows are measured and painted at; the view sets it to its viewport's width and
    // lays the rows out again. Until then (0) rows take the width they are given.
    void setRowWidth(int width);
    int rowWidth() const { return m_rowWidth; }

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
    class Fonts;

    const Fonts &fonts(const QFont &base) const;
    // The row's rectangle at the row width.
    QRect rowRect(const QStyleOptionViewItem &option) const;
    Geometry layout(const QRect &row, const Fonts &fonts, const ImpersonateUserData &user, bool withName) const;
    const ImpersonateUserData *recordOf(const QModelIndex &index) const;
    void paintHeader(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void paintUser(QPainter *painter, const QStyleOptionViewItem &option, const ImpersonateUserData &user,
        bool current) const;

    // A user row's height depends only on these of its fields; kept per record, so the list lays
    // out thousands of rows again (after a star, a search cleared) without measuring them.
    struct Height
    {
        std::optional<QList<UserTag>> tags;
        bool hasEmail = false;
        std::optional<QString> country;
        bool hasBadge = false;
        int height = 0;
        bool holdsFor(const ImpersonateUserData &user) const;
    };

    const ImpersonationListModel &m_model;
    const ActiveApp &m_app;
    AvatarLoader &m_avatars;
    Actions m_actions;
    int m_rowWidth = 0;
    mutable std::unique_ptr<Fonts> m_fonts;
    // At the row width and fonts of now; emptied when either changes.
    mutable QHash<ImpersonateUserData::Identity, Height> m_heights;
};
