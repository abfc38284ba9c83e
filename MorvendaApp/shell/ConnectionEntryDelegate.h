// Paints one row of the connection list: the selection mark, "ID: <display name>", the user the
// app reported (its round picture with the retailer's flag, name and token, and its tags as
// coloured chips), and the connection's state as a coloured upper-case badge. Reads only the
// roles of ConnectionListModel; pictures come from the shared AvatarLoader, which outlives the
// delegate and is asked only for rows being painted. Main thread.
#pragma once

#include "MorvendaModel/MorvendaConnection.h"
#include "MorvendaApp/components/NamedColors.h"

#include <QStyledItemDelegate>

class AvatarLoader;

class ConnectionEntryDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The size of the user's picture in a row.
    static constexpr int kPictureSize = 30;

    explicit ConnectionEntryDelegate(AvatarLoader &avatars, QObject *parent = nullptr);

    static NamedColor stateColor(MorvendaConnection::State state);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    AvatarLoader &m_avatars;

    struct Layout;
    Layout layout(const QStyleOptionViewItem &option, const QModelIndex &index) const;
};
