// Paints one row of the connection list: the selection mark, "ID: <display name>", the user the
// app reported (name, token and tags as plain text), and the connection's state as a coloured
// upper-case badge. Reads only the roles of ConnectionListModel; main thread.
#pragma once

#include "MorvendaModel/MorvendaConnection.h"
#include "MorvendaApp/components/NamedColors.h"

#include <QStyledItemDelegate>

class ConnectionEntryDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static NamedColor stateColor(MorvendaConnection::State state);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    struct Layout;
    Layout layout(const QStyleOptionViewItem &option, const QModelIndex &index) const;
};
