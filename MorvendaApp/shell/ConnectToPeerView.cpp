#include "ConnectToPeerView.h"

#include "ConnectionSelection.h"
#include "FileListView.h"
#include "PeerListView.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/shell/Asset.h"
#include "MorvendaApp/core/L10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRasterWindow>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kWatermarkMaxSide = 350;
constexpr int kWatermarkPadding = 100;

// An indeterminate progress spinner: a rotating arc, animated only while on screen.
//
// It is a window of its own inside the screen, not a widget: once the main window has shown a
// web view (the body viewer, the console) every flush of the main window composes the whole
// window again, which for a turning spinner costs most of a core all day long. Its own small
// window is flushed alone, and the main window stays untouched while it turns. (A native child
// widget would be flushed alone too, but leaves the composed main window black.)
class SpinnerWindow : public QRasterWindow
{
public:
    static constexpr int kSide = 20;

    // `colours` gives the palette the spinner draws with (its container's).
    explicit SpinnerWindow(const QWidget *colours)
        : m_colours(colours)
    {
        m_timer.setInterval(80);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void exposeEvent(QExposeEvent *event) override
    {
        if (isExposed())
            m_timer.start();
        else
            m_timer.stop();
        QRasterWindow::exposeEvent(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        const QPalette palette = m_colours ? m_colours->palette() : QPalette();
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), palette.color(QPalette::Window));
        painter.setRenderHint(QPainter::Antialiasing);
        QColor colour = palette.color(QPalette::Text);
        for (int i = 0; i < 12; ++i) {
            colour.setAlphaF(0.15f + 0.85f * float(i) / 11.0f);
            painter.save();
            painter.translate(width() / 2.0, height() / 2.0);
            painter.rotate(m_angle + i * 30);
            painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(0, -4.5), QPointF(0, -8.5));
            painter.restore();
        }
    }

private:
    QPointer<const QWidget> m_colours;
    QTimer m_timer;
    int m_angle = 0;
};

// The watermark layer: drawn above the content in the text colour at a low opacity, and
// transparent to the pointer so the lists below stay usable.
class Watermark : public QWidget
{
public:
    explicit Watermark(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QRect area = rect().adjusted(kWatermarkPadding, kWatermarkPadding, -kWatermarkPadding, -kWatermarkPadding);
        const int side = std::min({kWatermarkMaxSide, area.width(), area.height()});
        if (side <= 0) {
            return;
        }
        const QPixmap &tinted = tintedImage(side);
        if (tinted.isNull()) {
            return;
        }
        QPainter painter(this);
        painter.setOpacity(ConnectToPeerView::watermarkOpacity(isDarkPalette(palette())));
        const QSize logical = (QSizeF(tinted.size()) / tinted.devicePixelRatio()).toSize();
        painter.drawPixmap(QRect(QPoint(), logical).translated(area.center() - QRect(QPoint(), logical).center()),
            tinted);
    }

private:
    // The layer lies over the spinner, so it repaints with every frame of it: the tinted image is
    // made again only when its size, scale or colour changed.
    const QPixmap &tintedImage(int side)
    {
        const qreal ratio = devicePixelRatioF();
        const QColor colour = palette().color(QPalette::Text);
        if (side == m_side && ratio == m_ratio && colour == m_colour) {
            return m_tinted;
        }
        m_side = side;
        m_ratio = ratio;
        m_colour = colour;
        m_tinted = QPixmap();
        const QPixmap image = Asset::pixmap(Asset::watermark, QSize(side, side), ratio);
        if (image.isNull()) {
            return m_tinted;
        }
        // Tinted like a template image: the asset's shape in the text colour.
        m_tinted = QPixmap(image.size());
        m_tinted.setDevicePixelRatio(image.devicePixelRatio());
        m_tinted.fill(Qt::transparent);
        QPainter tint(&m_tinted);
        tint.drawPixmap(0, 0, image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(m_tinted.rect(), colour);
        return m_tinted;
    }

    QPixmap m_tinted;
    int m_side = 0;
    qreal m_ratio = 0;
    QColor m_colour;
};

QFont scaledFont(const QFont &base, qreal factor, bool bold = false)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}
} // namespace

ConnectToPeerView::ConnectToPeerView(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
    AvatarLoader &avatars, QWidget *parent)
    : QWidget(parent)
    , m_selection(new ConnectionSelection(this))
{
    buildLayout(listener, fileHolder, userManager, avatars);
}

void ConnectToPeerView::buildLayout(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
    AvatarLoader &avatars)
{
    setMinimumWidth(250);

    auto *status = new QHBoxLayout;
    m_status = status;
    status->setSpacing(16);
    // A server that could not start says so, with no spinner waiting for apps that cannot come.
    m_serving = listener.isListening();
    auto *enabled = new QLabel(L10n::text(m_serving ? "Connection.serverEnabled" : "Connection.serverNotRunning"), this);
    enabled->setObjectName(QStringLiteral("serverState"));
    enabled->setFont(scaledFont(font(), 1.6));
    status->addWidget(enabled);
    if (m_serving)
        addSpinner();
    status->addStretch(1);

    m_peerList = new PeerListView(listener, fileHolder, userManager, *m_selection, avatars, this);
    m_fileList = new FileListView(fileHolder, listener, *m_selection, this);

    // One run: the label and the bold host name wrap together. The host name is escaped.
    m_serverName = new QLabel(this);
    m_serverName->setTextFormat(Qt::RichText);
    m_serverName->setWordWrap(true);
    m_serverName->setText(L10n::text("Connection.serverName").toHtmlEscaped() + QStringLiteral("<b>")
        + MorvendaListener::bonjourName().toHtmlEscaped() + QStringLiteral("</b>"));
    m_serverName->setContentsMargins(0, 6, 0, 6);

    // Only the status row stays put; the lists and the lines below scroll, so however many apps
    // connect, the screen never asks the main window for more height than it has.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("connectContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(12, 0, 12, 12);
    column->addWidget(m_peerList);
    column->addWidget(m_fileList);
    column->addStretch(1);
    column->addWidget(m_serverName);
    for (const char *key : {"Connection.Disclaimer.availableApps", "Connection.Disclaimer.openApp"}) {
        auto *line = new QLabel(L10n::text(key), content);
        line->setWordWrap(true);
        line->setFont(scaledFont(font(), 0.85));
        column->addWidget(line);
        m_disclaimers.append(line);
    }
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(content);
    // The screen's own background shows through, as it did without the scroll area.
    m_scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    status->setContentsMargins(12, 12, 12, 24);
    auto *screen = new QVBoxLayout(this);
    screen->setContentsMargins(0, 0, 0, 0);
    screen->setSpacing(0);
    screen->addLayout(status);
    screen->addWidget(m_scroll, 1);
    applySecondaryColour();

    m_watermark = new Watermark(this);
    m_watermark->raise();
}

void ConnectToPeerView::addSpinner()
{
    auto *window = new SpinnerWindow(this);
    m_spinnerWindow = window;
    m_spinner = QWidget::createWindowContainer(window, this);
    m_spinner->setObjectName(QStringLiteral("spinner"));
    m_spinner->setFixedSize(SpinnerWindow::kSide, SpinnerWindow::kSide);
    m_spinner->setFocusPolicy(Qt::NoFocus);
    // Right of the status text, before the spacer.
    m_status->insertWidget(1, m_spinner);
    if (isVisible())
        m_spinner->show();
}

bool ConnectToPeerView::eventFilter(QObject *watched, QEvent *event)
{
    // The main window's platform window is made again when the first web view joins it, and the
    // spinner's window goes with the old one. The container left empty must go before the next
    // layout pass moves it (Qt dereferences its window there); a new spinner comes with the new
    // platform window. Both happen within the web view's arrival, each on a change of the id.
    if (watched == m_watchedWindow && event->type() == QEvent::WinIdChange) {
        if (m_spinner && !m_spinnerWindow) {
            delete m_spinner;
            m_spinner = nullptr;
        }
        if (!m_spinner && m_serving && m_watchedWindow->internalWinId())
            addSpinner();
    }
    return QWidget::eventFilter(watched, event);
}

void ConnectToPeerView::applySecondaryColour()
{
    for (QLabel *line : std::as_const(m_disclaimers)) {
        QPalette secondary = line->palette();
        secondary.setColor(QPalette::WindowText, namedColor(NamedColor::Secondary, palette()));
        line->setPalette(secondary);
    }
}

void ConnectToPeerView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        applySecondaryColour();
    }
}

void ConnectToPeerView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_watermark->setGeometry(rect());
    m_watermark->raise();
}

void ConnectToPeerView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    if (window() != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
    // Coming back to the screen is a new screen: nothing chosen in it yet.
    if (m_shownBefore && m_selection->connectionId()) {
        m_selection->setConnectionId(std::nullopt);
    }
    m_shownBefore = true;
}
