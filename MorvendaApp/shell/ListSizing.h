// Shared look of the connect screen's lists: no frame or background of their own, a faint
// separator under each row, and a height that fits their rows (they sit in one column with the
// rest of the screen). Main thread.
#pragma once

class QAbstractItemView;
class QPainter;
class QStyleOptionViewItem;

// Frameless, transparent, single selection, and its height follows its rows.
void applyConnectListStyle(QAbstractItemView *view);
// Gives the view the height of all its rows, within bounds (it scrolls beyond them).
void fitHeightToRows(QAbstractItemView *view);
// The separator below a row: the secondary colour at 30 %, one pixel.
void drawRowSeparator(QPainter *painter, const QStyleOptionViewItem &option);
