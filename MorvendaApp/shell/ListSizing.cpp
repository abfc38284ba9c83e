#include "ListSizing.h"

#include "MorvendaApp/components/NamedColors.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace {
constexpr int kMaxListHeight = 360;
} // namespace

void applyConnectListStyle(QAbstractItemView *view)
{
    view->setFrameShape(QFrame::NoFrame);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setAutoFillBackground(false);
    view->viewport()->setAutoFillBackground(false);
    // A list widget deletes its model from QWidget's destructor, and the model's last reset then
    // reaches a view that is no longer an item view: the cast tells, where a call would not.
    QObject *viewObject = view;
    const auto refit = [viewObject] {
        if (auto *itemView = qobject_cast<QAbstractItemView *>(viewObject))
            fitHeightToRows(itemView);
    };
    QAbstractItemModel *model = view->model();
    QObject::connect(model, &QAbstractItemModel::modelReset, view, refit);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view, refit);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, view, refit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, view, refit);
    // A row can change height with no change of the model's, when its content wraps at a new width.
    if (QAbstractItemDelegate *delegate = view->itemDelegate())
        QObject::connect(delegate, &QAbstractItemDelegate::sizeHintChanged, view, refit);
    refit();
}

void fitHeightToRows(QAbstractItemView *view)
{
    const QAbstractItemModel *model = view->model();
    int height = 0;
    // Rows past the cap change nothing: a list of thousands costs what a full screen costs.
    for (int row = 0; model && row < model->rowCount() && height <= kMaxListHeight; ++row) {
        height += view->sizeHintForRow(row);
    }
    // Beyond a few rows the list scrolls instead of pushing the rest of the screen away.
    const int fitted = std::clamp(height, 24, kMaxListHeight) + 2 * view->frameWidth();
    if (fitted == view->minimumHeight() && fitted == view->maximumHeight()) {
        return;
    }
    view->setFixedHeight(fitted);
    // The list sits inside a container whose own minimum grows with it: let its parent know.
    if (QWidget *container = view->parentWidget()) {
        container->updateGeometry();
    }
}

void drawRowSeparator(QPainter *painter, const QStyleOptionViewItem &option)
{
    QColor colour = namedColor(NamedColor::Secondary, option.palette);
    colour.setAlphaF(colour.alphaF() * 0.3f);
    painter->save();
    painter->setPen(QPen(colour, 1));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}
