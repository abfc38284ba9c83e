#include "ToolbarButtons.h"

#include "ExternalWindowButton.h"

#include "MorvendaApp/core/L10n.h"

namespace {
constexpr qreal kOpenInWindowOpacity = 0.6;
} // namespace

SideToolbarButton::SideToolbarButton(SideView view, WindowManager &windowManager, QWidget *parent)
    : SymbolButton(symbolName(view), parent)
    , m_view(view)
    , m_windowManager(windowManager)
{
    connect(&m_windowManager, &WindowManager::sideViewChanged, this, &SideToolbarButton::refresh);
    connect(&m_windowManager, &WindowManager::windowsChanged, this, &SideToolbarButton::refresh);
    connect(this, &QToolButton::clicked, this, &SideToolbarButton::trigger);
    refresh();
}

QString SideToolbarButton::symbolName(SideView view)
{
    switch (view) {
    case SideView::User: return QStringLiteral("person.crop.circle");
    case SideView::Impersonation: return QStringLiteral("person.2.gobackward");
    case SideView::Settings: return QStringLiteral("testtube.2");
    case SideView::Milestone: return QStringLiteral("flag.fill");
    case SideView::Deeplink: return QStringLiteral("link");
    case SideView::None: return QStringLiteral("xmark.shield");
    }
    Q_UNREACHABLE();
    return QString();
}

void SideToolbarButton::refresh()
{
    if (m_windowManager.sideView() == m_view) {
        setTint(NamedColor::Blue);
        setToolTip(L10n::text("Menu.closeSidebar"));
    } else if (m_windowManager.windows().contains(m_view)) {
        setTint(NamedColor::Orange, kOpenInWindowOpacity);
        setToolTip(L10n::text("Menu.closeWindow"));
    } else {
        setTint(std::nullopt);
        setToolTip(helpText(m_view));
    }
}

void SideToolbarButton::trigger()
{
    // A panel only in its own window is shown with one press, in the sidebar: its window closes
    // ("Close window") and the panel takes the sidebar, where the button's blue then says so.
    if (m_windowManager.windows().contains(m_view) && m_windowManager.sideView() != m_view) {
        collapsePanelToSidebar(m_view, m_windowManager);
        return;
    }
    m_windowManager.toggle(m_view);
}

BottomToolbarButton::BottomToolbarButton(BottomView view, WindowManager &windowManager, QWidget *parent)
    : SymbolButton(symbolName(view), parent)
    , m_view(view)
    , m_windowManager(windowManager)
{
    setToolTip(helpText(view));
    connect(&m_windowManager, &WindowManager::bottomViewChanged, this, &BottomToolbarButton::refresh);
    connect(this, &QToolButton::clicked, this, [this] { m_windowManager.toggleBottomView(m_view); });
    refresh();
}

QString BottomToolbarButton::symbolName(BottomView view)
{
    switch (view) {
    case BottomView::Metrics: return QStringLiteral("chart.bar.xaxis");
    case BottomView::Console: return QStringLiteral("square.bottomthird.inset.filled");
    case BottomView::None: return QStringLiteral("xmark.shield");
    }
    Q_UNREACHABLE();
    return QString();
}

QString BottomToolbarButton::helpText(BottomView view)
{
    switch (view) {
    case BottomView::Metrics: return L10n::text("Metrics.help");
    case BottomView::Console: return L10n::text("Console.help");
    case BottomView::None: return QString();
    }
    Q_UNREACHABLE();
    return QString();
}

void BottomToolbarButton::refresh()
{
    setTint(m_windowManager.bottomView() == m_view ? std::optional(NamedColor::Blue) : std::nullopt);
}
