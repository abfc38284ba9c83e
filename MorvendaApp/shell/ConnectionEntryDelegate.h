// Paints one row of the connection list: the selection mark, "ID: <display name>", the user the
// app reported (its round picture with the retailer's flag, name and token, and its tags as
// coloured chips, at most three rows of them ending in a count of the others), and the
// connection's state as a coloured upper-case badge. Reads only the
// roles of ConnectionListModel; pictures come from the shared AvatarLoader, which outlives the
// delegate and is asked only for rows being painted. The texts an app sent are cut to what a row
// can show before they are laid out, and each row's elided lines are kept until they change.
// Main thread.
#pragma once

#include "MorvendaModel/MorvendaConnection.h"
#include "MorvendaApp/components/NamedColors.h"

#include <QHash>
#include <QPointer>
#include <QStyledItemDelegate>

#include <optional>

class AvatarLoader;
class QAbstractItemView;

class ConnectionEntryDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The size of the user's picture in a row.
    static constexpr int kPictureSize = 30;

    // With `view` (whose model must be set), each row's size is remembered: the view lays out
    // every row again on each insert, and closed connections stay listed. The view is laid out
    // again when a row's height changes, by its data or by the width its tags wrap in. Without a
    // view every call measures afresh.
    explicit ConnectionEntryDelegate(AvatarLoader &avatars, QAbstractItemView *view = nullptr);

    static NamedColor stateColor(MorvendaConnection::State state);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A measured row: its size holds at the tag width it was measured at, and at any width from
    // `oneLineTagWidth` on when it was measured there too (its tags then fit on one line).
    struct Measured
    {
        QSize size;
        int tagWidth = 0;
        int oneLineTagWidth = 0; // 0: no tags, the height does not depend on the width
        bool holdsAt(int width) const
        {
            return oneLineTagWidth == 0 || width == tagWidth || (width >= oneLineTagWidth && tagWidth >= oneLineTagWidth);
        }
    };

    struct Layout;
    // Measuring only needs to know whether there is a picture; painting asks the loader for it.
    Layout layout(const QStyleOptionViewItem &option, const QModelIndex &index, bool loadPicture) const;
    Measured measure(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    bool caches(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    QStyleOptionViewItem viewOption() const;
    void followModel();
    void forgetAllRows();
    void rowsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);
    void widthChanged();
    void relayoutSoon(const QModelIndex &index);
    // `text` elided to `width`, kept per row and line while the text, width and font stay.
    QString elided(const QModelIndex &index, int line, const QString &text, const QFont &font, int width) const;

    AvatarLoader &m_avatars;
    QPointer<QAbstractItemView> m_view;
    // By row, in step with the view's model; unknown until measured.
    mutable QList<std::optional<Measured>> m_sizes;
    mutable QFont m_sizesFont;
    struct ElidedLine
    {
        QString text;
        QFont font;
        int width = -1;
        QString shown;
    };
    // By row and line (row * 2 + line); a row that moved finds a different text and elides afresh.
    mutable QHash<qint64, ElidedLine> m_elided;
    int m_viewportWidth = -1;
    bool m_relayoutPending = false;
};
