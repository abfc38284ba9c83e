#include "CopyButton.h"

#include "NamedColors.h"
#include "SymbolButton.h"

#include "MorvendaApp/core/L10n.h"

#include <QClipboard>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>

namespace {
constexpr qreal kMutedOpacity = 0.5;
constexpr int kFadeMs = 250;
constexpr int kSideInset = 4;
} // namespace

CopyButton::CopyButton(std::function<QString()> contentToCopy, QWidget *parent)
    : QWidget(parent)
    , m_contentToCopy(std::move(contentToCopy))
{
    buildLayout();
    connectSignals();
    applyColors();
}

void CopyButton::buildLayout()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(kSideInset, 0, kSideInset, 0);

    m_confirmation = new QLabel(L10n::text("CopiedToPasteboard"), this);
    m_confirmation->setObjectName(QStringLiteral("confirmation"));
    m_confirmation->setTextFormat(Qt::PlainText);
    m_confirmation->hide();
    m_opacity = new QGraphicsOpacityEffect(m_confirmation);
    m_opacity->setOpacity(1.0);
    m_confirmation->setGraphicsEffect(m_opacity);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    m_fade->setDuration(kFadeMs);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);

    m_button = new SymbolButton(QStringLiteral("square.on.square"), this);
    m_button->setAutoRaise(true);
    m_button->setToolTip(L10n::text("Copy"));

    layout->addWidget(m_confirmation);
    layout->addWidget(m_button);

    m_confirmationTimer = new QTimer(this);
    m_confirmationTimer->setObjectName(QStringLiteral("confirmationTimer"));
    m_confirmationTimer->setSingleShot(true);
    m_confirmationTimer->setInterval(kConfirmationMs);
}

void CopyButton::connectSignals()
{
    connect(m_button, &QToolButton::clicked, this, &CopyButton::copy);
    connect(m_confirmationTimer, &QTimer::timeout, this, &CopyButton::fadeOut);
    connect(m_fade, &QPropertyAnimation::finished, m_confirmation, &QWidget::hide);
}

void CopyButton::copy()
{
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    m_confirmation->show();
    m_confirmationTimer->start();
    // setText replaces every format on the clipboard, so nothing older is left beside the text.
    QGuiApplication::clipboard()->setText(m_contentToCopy ? m_contentToCopy() : QString());
}

void CopyButton::placeConfirmationAfterSymbol()
{
    auto *row = static_cast<QHBoxLayout *>(layout());
    row->removeWidget(m_confirmation);
    row->addWidget(m_confirmation);
}

void CopyButton::fadeOut()
{
    m_fade->start();
}

void CopyButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void CopyButton::applyColors()
{
    m_button->setTint(NamedColor::Secondary, kMutedOpacity);
    QPalette palette = m_confirmation->palette();
    QColor muted = namedColor(NamedColor::Secondary, this->palette());
    muted.setAlphaF(float(muted.alphaF() * kMutedOpacity));
    palette.setColor(QPalette::WindowText, muted);
    m_confirmation->setPalette(palette);
}
