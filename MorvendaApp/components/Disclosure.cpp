#include "Disclosure.h"

#include "NamedColors.h"
#include "Symbols.h"
#include "ViewModifiers.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kChevronSize = 12;
constexpr int kCalloutPixelSize = 12;
constexpr int kSpacing = 4;
} // namespace

Disclosure::Disclosure(const QString &title, const QString &content, QWidget *action, QWidget *parent)
    : QWidget(parent)
{
    buildLayout(title, action);
    setContent(content);
    applyTappable(m_header, [this] { toggle(); });
    refresh();
}

void Disclosure::buildLayout(const QString &title, QWidget *action)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);

    m_header = new QWidget(this);
    m_header->setObjectName(QStringLiteral("header"));
    auto *header = new QHBoxLayout(m_header);
    header->setContentsMargins(0, 0, 0, 0);
    m_chevron = new QLabel(m_header);
    m_chevron->setObjectName(QStringLiteral("chevron"));
    m_chevron->setFixedSize(kChevronSize, kChevronSize);
    m_chevron->setAlignment(Qt::AlignCenter);
    m_title = new QLabel(title, m_header);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setTextFormat(Qt::PlainText);
    QFont callout = m_title->font();
    callout.setPixelSize(kCalloutPixelSize);
    m_title->setFont(callout);
    header->addWidget(m_chevron, 0, Qt::AlignVCenter);
    header->addWidget(m_title, 0, Qt::AlignVCenter);
    if (action)
        header->addWidget(action, 0, Qt::AlignVCenter);
    header->addStretch(1);

    m_contentRow = new QWidget(this);
    auto *row = new QHBoxLayout(m_contentRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_content = new QLabel(m_contentRow);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->setTextFormat(Qt::PlainText);
    m_content->setWordWrap(true);
    row->addWidget(m_content, 1);

    layout->addWidget(m_header);
    layout->addWidget(m_contentRow);
}

void Disclosure::setExpanded(bool expanded)
{
    m_expanded = expanded;
    refresh();
    emit expandedChanged(m_expanded);
}

void Disclosure::toggle()
{
    setExpanded(!m_expanded);
}

void Disclosure::setContent(const QString &content)
{
    m_content->setText(firstLines(content, kMaxContentLines));
}

QString Disclosure::firstLines(const QString &text, int maxLines)
{
    if (maxLines <= 0)
        return QString();
    qsizetype end = -1;
    for (int line = 0; line < maxLines; ++line) {
        end = text.indexOf(QLatin1Char('\n'), end + 1);
        if (end < 0)
            return text;
    }
    return text.left(end);
}

void Disclosure::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void Disclosure::refresh()
{
    const QColor secondary = namedColor(NamedColor::Secondary, palette());
    m_chevron->setPixmap(Symbols::pixmap(m_expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.up"),
        secondary, kChevronSize, devicePixelRatioF()));
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::WindowText, secondary);
    m_title->setPalette(titlePalette);
    m_contentRow->setVisible(m_expanded);
}
