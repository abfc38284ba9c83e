#include "ExternalWindowButton.h"

#include "NamedColors.h"

#include "MorvendaApp/core/L10n.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kButtonSymbolSize = 15;
constexpr int kSideInset = 24;
// Above and below the button inside its strip.
constexpr int kStripPadding = 2;
// The room the button takes from the right end of its strip.
constexpr int kButtonPlace = kSideInset + 32;

QString symbolFor(bool openInWindow)
{
    return openInWindow ? QStringLiteral("arrow.down.left.square") : QStringLiteral("arrow.up.forward.app");
}

// The panel's content with the button floating over its top-right corner. Floating (instead of
// a row in a layout) keeps the rest of the content's top edge clickable.
class ExternalWindowFrame : public QWidget
{
public:
    ExternalWindowFrame(QWidget *content, SideView view, WindowManager &windowManager, OpenPanelWindow openWindow)
        : m_view(view)
        , m_windowManager(windowManager)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
        m_button = new ExternalWindowButton(view, windowManager, std::move(openWindow), this);
        m_button->raise();
        installEventFilter(this);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        placeButton();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == this && event->type() == QEvent::Show) {
            watchWindow();
            placeButton();
        } else if (watched == m_window && event->type() == QEvent::Hide && !event->spontaneous()
            && isPanelWindow(m_window, m_view)) {
            // A spontaneous hide is a minimise; a plain one is the window closing.
            m_windowManager.windowDidClose(m_view);
        }
        return false;
    }

private:
    // The frame may reach its window through reparenting of any ancestor; it is shown whenever
    // that window is, so the window is looked up again at every show.
    void watchWindow()
    {
        QWidget *top = window();
        if (top == m_window)
            return;
        if (m_window)
            m_window->removeEventFilter(this);
        m_window = top;
        if (m_window != this)
            m_window->installEventFilter(this);
    }

    void placeButton()
    {
        m_button->adjustSize();
        if (m_stripHeight == 0)
            m_stripHeight = externalWindowStripHeight();
        const int top = std::max(0, (m_stripHeight - m_button->height()) / 2);
        m_button->move(width() - kSideInset - m_button->width(), top);
        m_button->raise();
    }

    SideView m_view;
    WindowManager &m_windowManager;
    ExternalWindowButton *m_button = nullptr;
    QPointer<QWidget> m_window;
    int m_stripHeight = 0;
};

} // namespace

void markPanelWindow(QWidget *window, SideView view)
{
    window->setObjectName(rawValue(view));
}

bool isPanelWindow(const QWidget *window, SideView view)
{
    return window && window->isWindow() && window->objectName() == rawValue(view);
}

ExternalWindowButton::ExternalWindowButton(SideView view, WindowManager &windowManager, OpenPanelWindow openWindow,
    QWidget *parent)
    : SymbolButton(symbolFor(windowManager.windows().contains(view)), parent)
    , m_view(view)
    , m_windowManager(windowManager)
    , m_openWindow(std::move(openWindow))
{
    setAutoRaise(true);
    setSymbolSize(kButtonSymbolSize);
    connect(&m_windowManager, &WindowManager::windowsChanged, this, &ExternalWindowButton::refresh);
    connect(this, &QToolButton::clicked, this, [this] {
        if (m_windowManager.windows().contains(m_view))
            collapseToSidebar();
        else
            openInExternalWindow();
    });
    refresh();
}

void ExternalWindowButton::openInExternalWindow()
{
    if (m_openWindow)
        m_openWindow(m_view);
    m_windowManager.open(m_view);
}

void collapsePanelToSidebar(SideView view, WindowManager &windowManager, QWidget *ownWindow)
{
    // Found before the setters, which may delete the pane of the button that asked.
    QPointer<QWidget> window = ownWindow;
    if (!window) {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (isPanelWindow(top, view) && top->isVisible())
                window = top;
        }
    }
    windowManager.windowDidClose(view);
    if (windowManager.sideView() != view)
        windowManager.setSideView(view);
    if (window)
        window->close();
}

void ExternalWindowButton::collapseToSidebar()
{
    // This button sits either in the panel's own window or in the sidebar's pane.
    collapsePanelToSidebar(m_view, m_windowManager, isPanelWindow(window(), m_view) ? window() : nullptr);
}

void ExternalWindowButton::refresh()
{
    const bool openInWindow = m_windowManager.windows().contains(m_view);
    setSymbol(symbolFor(openInWindow));
    setToolTip(openInWindow ? L10n::text("Collapse to sidebar") : L10n::text("Open in external window"));
}

int externalWindowStripHeight()
{
    // Measured as the style draws the button, whatever its frame and margins.
    SymbolButton probe(symbolFor(false));
    probe.setAutoRaise(true);
    probe.setSymbolSize(kButtonSymbolSize);
    return probe.sizeHint().height() + 2 * kStripPadding;
}

int externalWindowButtonPlace()
{
    return kButtonPlace;
}

QWidget *applyExternalWindowModifier(QWidget *content, SideView view, WindowManager &windowManager,
    OpenPanelWindow openWindow)
{
    return new ExternalWindowFrame(content, view, windowManager, std::move(openWindow));
}
