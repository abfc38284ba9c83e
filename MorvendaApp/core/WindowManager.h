// The one shared record of how the panels are arranged: which side panel the main window shows,
// which panels are open in windows of their own, which bottom pane is shown and whether it is
// expanded. Made once by the main scene, outlives every window; main thread only.
//
// Every property is published: each assignment emits its signal after storing the value, an
// equal value included, and the operations write their properties in the documented order.
#pragma once

#include "SideView.h"

#include <QObject>
#include <QSet>

class WindowManager : public QObject
{
    Q_OBJECT

public:
    explicit WindowManager(QObject *parent = nullptr);

    SideView sideView() const { return m_sideView; }
    const QSet<SideView> &windows() const { return m_windows; }
    BottomView bottomView() const { return m_bottomView; }
    bool expandBottomView() const { return m_expandBottomView; }

    void setSideView(SideView view);
    void setWindows(const QSet<SideView> &windows);
    void setBottomView(BottomView view);
    void setExpandBottomView(bool expand);

    // The panel's window has been opened: records it in `windows` and takes it out of the sidebar.
    void open(SideView view);
    // Takes the panel from the sidebar if it is shown there, otherwise forgets its window.
    void close(SideView view);
    // Shows the panel in the sidebar, or hides it when it is already shown there.
    void toggle(SideView view);
    // Shows the bottom pane, or hides it when it is already shown; never leaves it expanded.
    void toggleBottomView(BottomView view);
    // The panel's own window has closed; `windows` is written even when it did not hold the panel.
    void windowDidClose(SideView view);

signals:
    void sideViewChanged(SideView view);
    void windowsChanged(const QSet<SideView> &windows);
    void bottomViewChanged(BottomView view);
    void expandBottomViewChanged(bool expand);

private:
    SideView m_sideView = SideView::None;
    QSet<SideView> m_windows;
    BottomView m_bottomView = BottomView::None;
    bool m_expandBottomView = false;
};
