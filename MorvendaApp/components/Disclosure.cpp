#include "Disclosure.h"

#include "NamedColors.h"
#include "Symbols.h"
#include "ViewModifiers.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
constexpr int kChevronSize = 12;
constexpr int kCalloutPixelSize = 12;
constexpr int kSpacing = 4;
// The width the value asks for when nothing narrower is needed; it takes any width it is given.
constexpr int kPreferredContentWidth = 240;

// The value text: wrapped at word boundaries, and anywhere inside a word wider than the line, so
// a token or an address without spaces never makes the value wider than the room it has. (A
// QLabel wraps at word boundaries only and asks for its longest word as its least width.)
class ContentLabel : public QLabel
{
public:
    explicit ContentLabel(QWidget *parent)
        : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override
    {
        const QMargins margins = contentsMargins();
        return lines(width - margins.left() - margins.right()).height + margins.top() + margins.bottom();
    }

    QSize sizeHint() const override
    {
        const QMargins margins = contentsMargins();
        const int width = std::min(kPreferredContentWidth, naturalWidth()) + margins.left() + margins.right();
        return {width, heightForWidth(width)};
    }

    QSize minimumSizeHint() const override
    {
        return {fontMetrics().averageCharWidth() * 4, text().isEmpty() ? 0 : fontMetrics().lineSpacing()};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        // In the colour group of the widget's state, as a label draws its text.
        QStyleOption option;
        option.initFrom(this);
        painter.setPen(option.palette.color(foregroundRole()));
        const QRect area = contentsRect();
        for (const auto &layout : lines(area.width()).paragraphs) {
            layout->draw(&painter, area.topLeft());
        }
    }

    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) {
            m_laidOut = {};
            m_natural = {};
        }
    }

private:
    struct Lines
    {
        QString text;
        QFont font;
        int width = -1;
        std::vector<std::unique_ptr<QTextLayout>> paragraphs;
        int height = 0;
    };

    // The widest paragraph on one line.
    int naturalWidth() const
    {
        if (m_natural.text != text() || m_natural.font != font()) {
            int widest = 0;
            for (const QString &paragraph : text().split(u'\n')) {
                widest = std::max(widest, fontMetrics().horizontalAdvance(paragraph));
            }
            m_natural = {text(), font(), widest};
        }
        return m_natural.width;
    }

    // The text laid out at `width`; a layout pass asks for the same width several times.
    const Lines &lines(int width) const
    {
        width = std::max(width, 1);
        if (m_laidOut.width == width && m_laidOut.text == text() && m_laidOut.font == font()) {
            return m_laidOut;
        }
        Lines laidOut{text(), font(), width, {}, 0};
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        const int lineSpacing = fontMetrics().lineSpacing();
        int y = 0;
        for (const QString &paragraph : laidOut.text.split(u'\n')) {
            auto layout = std::make_unique<QTextLayout>(paragraph, laidOut.font);
            layout->setTextOption(option);
            layout->beginLayout();
            for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, y));
                y += lineSpacing;
            }
            layout->endLayout();
            laidOut.paragraphs.push_back(std::move(layout));
        }
        laidOut.height = laidOut.text.isEmpty() ? 0 : y;
        m_laidOut = std::move(laidOut);
        return m_laidOut;
    }

    struct Natural
    {
        QString text;
        QFont font;
        int width = 0;
    };

    mutable Lines m_laidOut;
    mutable Natural m_natural;
};
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
    m_content = new ContentLabel(m_contentRow);
    m_content->setObjectName(QStringLiteral("content"));
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
