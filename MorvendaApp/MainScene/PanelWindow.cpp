#include "PanelWindow.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/core/WindowManager.h"

#include <QCloseEvent>
#include <QVBoxLayout>

PanelWindow::PanelWindow(SideView view, WindowManager &windowManager, QWidget *content)
    : QWidget(nullptr, Qt::Window)
    , m_view(view)
    , m_windowManager(windowManager)
{
    setAttribute(Qt::WA_DeleteOnClose);
    markPanelWindow(this, view);
    setWindowTitle(title(view));
    setMinimumSize(300, 300);
    resize(kDefaultSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (content) {
        layout->addWidget(content);
    }
}

QString PanelWindow::title(SideView view)
{
    switch (view) {
    case SideView::User:
        return L10n::text("User.title");
    case SideView::Impersonation:
        return L10n::text("Impersonation.title");
    case SideView::Settings:
        return L10n::text("Setting.title");
    case SideView::Milestone:
        return L10n::text("Milestone.title");
    case SideView::Deeplink:
        return L10n::text("Deeplink.title");
    case SideView::None:
        break;
    }
    return {};
}

void PanelWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        // Only this panel's mark: the other panels' windows stay recorded.
        m_windowManager.windowDidClose(m_view);
    }
}
