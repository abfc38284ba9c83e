#include "WindowManager.h"

WindowManager::WindowManager(QObject *parent)
    : QObject(parent)
{
}

void WindowManager::setSideView(SideView view)
{
    m_sideView = view;
    emit sideViewChanged(m_sideView);
}

void WindowManager::setWindows(const QSet<SideView> &windows)
{
    m_windows = windows;
    emit windowsChanged(m_windows);
}

void WindowManager::setBottomView(BottomView view)
{
    m_bottomView = view;
    emit bottomViewChanged(m_bottomView);
}

void WindowManager::setExpandBottomView(bool expand)
{
    m_expandBottomView = expand;
    emit expandBottomViewChanged(m_expandBottomView);
}

void WindowManager::open(SideView view)
{
    QSet<SideView> windows = m_windows;
    windows.insert(view);
    setWindows(windows);
    if (m_sideView == view)
        setSideView(SideView::None);
}

void WindowManager::close(SideView view)
{
    if (m_sideView == view) {
        setSideView(SideView::None);
        return;
    }
    windowDidClose(view);
}

void WindowManager::toggle(SideView view)
{
    setSideView(m_sideView == view ? SideView::None : view);
}

void WindowManager::toggleBottomView(BottomView view)
{
    setExpandBottomView(false);
    setBottomView(m_bottomView == view ? BottomView::None : view);
}

void WindowManager::windowDidClose(SideView view)
{
    QSet<SideView> windows = m_windows;
    windows.remove(view);
    setWindows(windows);
}
