#include "PeerTextLabel.h"

#include "MorvendaApp/users/PeerText.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr int kPreferredWidth = 240;
// More than a few lines hold at any width the panel takes.
constexpr qsizetype kShownChars = PeerText::kMaxShown / 2;

} // namespace

PeerTextLabel::PeerTextLabel(int maxLines, QWidget *parent)
    : QWidget(parent)
    , m_maxLines(std::max(1, maxLines))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setVisible(false);
}

void PeerTextLabel::setText(const std::optional<QString> &text)
{
    m_text = text.value_or(QString());
    m_shown = PeerText::oneLine(m_text, kShownChars);
    forgetLines();
    setVisible(!m_shown.isEmpty());
    updateGeometry();
    update();
}

void PeerTextLabel::forgetLines()
{
    m_lines.clear();
}

QStringList PeerTextLabel::lines(int width) const
{
    if (const auto known = m_lines.constFind(width); known != m_lines.cend()) {
        return *known;
    }
    QStringList lines;
    const QFontMetrics metrics(font());
    QTextLayout layout(m_shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        if (lines.size() == m_maxLines - 1) {
            // The last line takes what is left, cut to the width.
            lines.append(metrics.elidedText(m_shown.mid(line.textStart()), Qt::ElideRight, width));
            break;
        }
        lines.append(m_shown.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    m_lines.insert(width, lines);
    return lines;
}

int PeerTextLabel::heightForWidth(int width) const
{
    return int(lines(width).size()) * fontMetrics().lineSpacing();
}

QSize PeerTextLabel::sizeHint() const
{
    const int width = std::min(kPreferredWidth, fontMetrics().horizontalAdvance(m_shown.left(200)) + 1);
    return {width, heightForWidth(width)};
}

QSize PeerTextLabel::minimumSizeHint() const
{
    return {0, fontMetrics().lineSpacing()};
}

void PeerTextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const int lineHeight = fontMetrics().lineSpacing();
    int y = 0;
    for (const QString &line : lines(width())) {
        painter.drawText(QRect(0, y, width(), lineHeight), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, line);
        y += lineHeight;
    }
}

void PeerTextLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        forgetLines();
        updateGeometry();
    }
}
