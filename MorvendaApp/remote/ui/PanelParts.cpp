#include "PanelParts.h"

#include "MorvendaApp/components/SymbolButton.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

namespace PanelParts {

QWidget *decoration(const QString &symbolName, QWidget *parent)
{
    auto *symbol = new SymbolButton(symbolName, parent);
    symbol->setAutoRaise(true);
    symbol->setFocusPolicy(Qt::NoFocus);
    symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    return symbol;
}

QWidget *filterRow(QLineEdit *field, const QString &label)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget *symbol = decoration(QStringLiteral("line.3.horizontal.decrease.circle"), row);
    field->setPlaceholderText(label);
    field->setClearButtonEnabled(true);
    layout->addWidget(symbol);
    layout->addWidget(field, 1);
    return row;
}

QFont font(const QFont &base, int pixelSize, bool bold, bool monospaced)
{
    QFont f = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : base;
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void styleList(QListView *list)
{
    list->setFrameShape(QFrame::NoFrame);
    list->setUniformItemSizes(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setResizeMode(QListView::Adjust);
    list->setMouseTracking(true);
}

} // namespace PanelParts
