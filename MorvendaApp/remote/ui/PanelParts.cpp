#include "PanelParts.h"

#include "MorvendaApp/components/SymbolButton.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <algorithm>

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

QString oneLine(const QString &text)
{
    const auto isBreak = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'\n' && u <= u'\r') || u == 0x85 || u == 0x2028 || u == 0x2029;
    };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isBreak(text.at(i))) {
            out.append(text.at(i));
            continue;
        }
        if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        out.append(QChar(0x21B5));
    }
    return out;
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

void PanelList::remeasureRowsOnChange(QAbstractItemModel *model)
{
    connect(model, &QAbstractItemModel::dataChanged, this, [this] {
        if (m_remeasurePending)
            return;
        m_remeasurePending = true;
        QMetaObject::invokeMethod(this, [this] {
            m_remeasurePending = false;
            m_list->doItemsLayout();
        }, Qt::QueuedConnection);
    });
}
