#include "PanelParts.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/remote/ActiveApp.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>

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

} // namespace PanelParts

PanelList::PanelList(QWidget *parent)
    : QStackedWidget(parent)
    , m_list(new QListView(this))
    , m_empty(new QLabel(this))
{
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setUniformItemSizes(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setResizeMode(QListView::Adjust);
    m_empty->setTextFormat(Qt::PlainText);
    m_empty->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_empty->setContentsMargins(12, 8, 12, 8);
    m_empty->setWordWrap(true);
    addWidget(m_list);
    addWidget(m_empty);
}

void PanelList::showEmpty(bool empty)
{
    setCurrentWidget(empty ? static_cast<QWidget *>(m_empty) : m_list);
}

namespace {

// Left of the note, and right of it beside the pop-out button's place.
constexpr int kNoteInset = 12;
constexpr int kButtonPlace = 24 + 32;

} // namespace

PanelTopStrip::PanelTopStrip(const ActiveApp &app, QWidget *parent)
    : QWidget(parent)
    , m_app(app)
{
    setFixedHeight(externalWindowStripHeight());
    setFont(PanelParts::font(font(), PanelParts::kCaption, true));
    connect(&m_app, &ActiveApp::changed, this, &PanelTopStrip::refresh);
    refresh();
}

void PanelTopStrip::refresh()
{
    m_note = m_app.disconnectedText();
    setToolTip(m_note);
    setAccessibleName(m_note);
    update();
}

void PanelTopStrip::paintEvent(QPaintEvent *)
{
    if (m_note.isEmpty())
        return;
    QPainter painter(this);
    QColor color = namedColor(NamedColor::Red, palette());
    if (!isDarkPalette(palette()))
        color = color.darker(140);
    painter.setPen(color);
    const QRect area = rect().adjusted(kNoteInset, 0, -kButtonPlace, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(m_note, Qt::ElideRight, area.width()));
}
